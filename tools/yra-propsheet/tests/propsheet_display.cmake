# yra-propsheet where there is no display, or one that is named but not there: Qt would end the
# process; instead a picture is drawn offscreen and the sheet is shown as text. A picture that
# cannot be written fails the run. Expects REGSVR, PROPSHEET, VIDEO, POWER and ROOT.
file(REMOVE_RECURSE ${ROOT})
file(MAKE_DIRECTORY ${ROOT})
set(ENV{YRA_HOST_ROOT} ${ROOT})
unset(ENV{YRA_UI})
unset(ENV{QT_QPA_PLATFORM})
unset(ENV{WAYLAND_DISPLAY})

include(${CMAKE_CURRENT_LIST_DIR}/tool_run.cmake)

run(0 ${REGSVR} -s ${VIDEO} ${POWER})

foreach(display "" ":1999")
  if(display STREQUAL "")
    unset(ENV{DISPLAY})
  else()
    set(ENV{DISPLAY} ${display})
  endif()
  file(REMOVE ${ROOT}/sheet.png)
  run(0 ${PROPSHEET} --screenshot ${ROOT}/sheet.png)
  file(READ ${ROOT}/sheet.png signature LIMIT 4 HEX)
  if(NOT signature STREQUAL "89504e47")
    message(FATAL_ERROR "DISPLAY='${display}': no PNG picture was written")
  endif()
  run(0 ${PROPSHEET})
  expect("(no display: the sheet is shown as text")
  expect("Page 1: Video Powerline Frequency")
endforeach()
expect("yra-propsheet: no display (cannot connect to the X server DISPLAY=:1999)")

# A name that is not UTF-8 is written as given, byte for byte.
string(ASCII 253 byte)
set(odd "${ROOT}/sheet-${byte}.png")
run(0 ${PROPSHEET} --screenshot ${odd})
if(NOT EXISTS "${odd}")
  file(GLOB made ${ROOT}/sheet-*)
  message(FATAL_ERROR "the picture was not written under its name as given; found: ${made}")
endif()

if(EXISTS /dev/full)
  run(1 ${PROPSHEET} --screenshot /dev/full)
  expect("could not write /dev/full")
endif()
