# A new user's steps in a fresh host root: register the pages with yra-regsvr, then open the
# default device's sheet without a display, change a setting on each page, and read it back.
# Expects REGSVR, PROPSHEET, VIDEO, POWER and ROOT.
file(REMOVE_RECURSE ${ROOT})
set(ENV{YRA_HOST_ROOT} ${ROOT})
set(ENV{YRA_UI} headless)

include(${CMAKE_CURRENT_LIST_DIR}/tool_run.cmake)

run(1 ${PROPSHEET})
expect("has no property pages")
# The hint is a command the user can paste as it is: the modules of this build, by full path.
expect("yra-regsvr ${VIDEO} ${POWER}")

run(0 ${REGSVR} ${VIDEO} ${POWER})
run(0 ${PROPSHEET})
expect("Page 1: Video Powerline Frequency")
expect("Power Line Frequency   60 Hz  (choices: 50 Hz, 60 Hz, Out Door (disabled))")
expect("Width                  1920  (id 210)")

run(0 ${PROPSHEET} --set "Video Properties/Bitrate=8000" --set "Power Line Frequency=50 Hz" --apply --dump 0)
expect("Apply: done")
expect("Power Line Frequency   50 Hz")
expect("Bitrate                8000")

run(1 ${PROPSHEET} --set "Power Line Frequency=Out Door")
expect("\"Out Door\" cannot be chosen (disabled)")
run(1 ${PROPSHEET} --set Width=abc --apply)
expect("Apply: failed, 0x80070057")
run(1 ${PROPSHEET} "No Such Device")
expect("no device 'No Such Device'")

# A device that does not answer like one of ours gets neither page.
file(WRITE ${ROOT}/devices.conf "YRA USB Device\nOther Camera; chip=0x20\n")
run(0 ${PROPSHEET} --list)
expect("1: Other Camera")
run(1 ${PROPSHEET} "other camera" --dump)
expect("left out: SetObjects failed, 0x80004005 E_FAIL")
expect("This object has no property pages")
expect("every page of 'Other Camera' was left out, so the sheet is empty")

# A registry that cannot be read leaves every page out: a failure that names the hive.
file(APPEND ${ROOT}/registry/HKEY_CLASSES_ROOT.reg "not a registry line\n")
run(1 ${PROPSHEET} --dump)
expect("left out: create failed, 0x80040150 REGDB_E_READREGDB")
expect("was left out, so the sheet is empty; the registry: ")
expect("HKEY_CLASSES_ROOT.reg")
