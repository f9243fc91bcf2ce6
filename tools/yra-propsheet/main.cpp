// yra-propsheet: the property sheet of a capture device, with the pages filed for it in the
// registry. In a window with Qt, or driven from the command line without a display.
#include "built_module.h"
#include "device_list.h"
#include "host/device_filter.h"
#include "host/propframe.h"
#include "host/registry_store.h"
#include "host/result_names.h"
#include "host/ui_core.h"
#include "sheet_controls.h"
#include "standard_output.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: yra-propsheet [options] [DEVICE]\n"
    "\n"
    "Opens the property sheet of a capture device with the pages registered for it\n"
    "(register MxVideoCtrlPlugin.so and MxPowerPlugin.so with yra-regsvr first). DEVICE is an\n"
    "index in the device list (0 is the first) or a device's name; the first device by default.\n"
    "\n"
    "With a display the sheet opens in a window. Without one, or with any of --dump, --set and\n"
    "--apply, it is driven from the command line:\n"
    "  --dump                print every page's controls and their values (after any changes)\n"
    "  --set CONTROL=VALUE   change a control as a person would: type VALUE into a field, or pick\n"
    "                        the button VALUE of a group (\"Power Line Frequency=50 Hz\"). CONTROL\n"
    "                        is a name --dump shows, \"PAGE/NAME\" to name the page, or an id\n"
    "  --apply               press Apply after the changes; the video page writes only then,\n"
    "                        the power-line page writes every choice at once\n"
    "  --list                list the devices and stop\n"
    "  --screenshot FILE     write the sheet as a PNG picture (needs Qt; drawn offscreen when\n"
    "                        there is no display)\n"
    "  --page N              the page shown first (1 is the first)\n"
    "  -h, --help            show this text\n"
    "\n"
    "Exit status: 0 when everything succeeded, 1 when something failed (also when every page was\n"
    "left out, or standard output or the picture could not be written), 2 for a usage error.\n";

struct Options {
    std::string device = "0";
    bool dump = false, apply = false, list = false;
    std::vector<std::pair<std::string, std::string>> sets;
    std::string screenshot;
    size_t page = 0;
};

std::optional<int> ParseOptions(int argc, char** argv, Options& o) {
    bool deviceGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--dump") {
            o.dump = true;
        } else if (arg == "--apply") {
            o.apply = true;
        } else if (arg == "--list") {
            o.list = true;
        } else if (arg == "--set" && hasValue && std::strchr(argv[i + 1], '=')) {
            std::string spec = argv[++i];
            size_t eq = spec.find('=');
            o.sets.emplace_back(spec.substr(0, eq), spec.substr(eq + 1));
        } else if (arg == "--screenshot" && hasValue) {
            o.screenshot = argv[++i];
        } else if (arg == "--page" && hasValue) {
            std::string_view v = argv[++i];
            size_t n = 0;
            auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n);
            if (error != std::errc() || end != v.data() + v.size() || n == 0) {
                std::fprintf(stderr, "yra-propsheet: bad page number '%s'\n", argv[i]);
                return 2;
            }
            o.page = n - 1;
        } else if (!arg.starts_with("-") && !deviceGiven) {
            o.device = argv[i];
            deviceGiven = true;
        } else {
            std::fprintf(stderr, "yra-propsheet: bad argument '%s'\n\n%s", argv[i], kUsage);
            return 2;
        }
    }
    return std::nullopt;
}

std::string Utf8(const std::u16string& s) { return host::ui::Utf8(s); }

std::string GuidText(REFGUID g) {
    OLECHAR text[GUID_STRING_CHARS];
    StringFromGUID2(g, text, GUID_STRING_CHARS);
    return Utf8(text);
}

// Every page once selected, so that each is active and its controls can be read.
std::vector<std::vector<propsheet::Control>> DescribeSheet(host::PropertyFrame& frame) {
    size_t current = frame.CurrentPage();
    std::vector<std::vector<propsheet::Control>> pages;
    for (size_t i = 0; i < frame.PageCount(); ++i) {
        frame.SelectPage(i);
        pages.push_back(propsheet::DescribePage(frame.PageWindow(i)));
    }
    frame.SelectPage(current);
    return pages;
}

void Dump(host::PropertyFrame& frame) {
    auto pages = DescribeSheet(frame);
    if (pages.empty()) std::printf("This object has no property pages that can be shown.\n");
    for (size_t i = 0; i < pages.size(); ++i) {
        std::printf("Page %zu: %s\n", i + 1, Utf8(frame.PageTitle(i)).c_str());
        for (const propsheet::Control& c : pages[i]) {
            std::string extra;
            if (!c.choices.empty()) {
                extra = "  (choices:";
                for (const std::string& choice : c.choices) extra += (extra.back() == ':' ? " " : ", ") + choice;
                extra += ")";
            } else if (c.id > 0) {
                extra = "  (id " + std::to_string(c.id) + ")";
            }
            std::printf("  %-22s %s%s\n", c.name.c_str(), c.value.c_str(), extra.c_str());
        }
    }
}

bool Matches(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Finds "NAME", "PAGE/NAME" or an id; returns the page index through `pageIndex`.
const propsheet::Control* FindControl(host::PropertyFrame& frame,
                                      const std::vector<std::vector<propsheet::Control>>& pages,
                                      const std::string& spec, size_t* pageIndex, std::string* error) {
    std::string pageName, name = spec;
    if (size_t slash = spec.find('/'); slash != std::string::npos) {
        pageName = spec.substr(0, slash);
        name = spec.substr(slash + 1);
    }
    const propsheet::Control* found = nullptr;
    int matches = 0;
    for (size_t p = 0; p < pages.size(); ++p) {
        if (!pageName.empty() && !Matches(Utf8(frame.PageTitle(p)), pageName)) continue;
        for (const propsheet::Control& c : pages[p]) {
            if (!Matches(c.name, name) && std::to_string(c.id) != name) continue;
            found = &c;
            *pageIndex = p;
            ++matches;
        }
    }
    if (matches == 1) return found;
    *error = matches ? "more than one control is called '" + name + "'; name its page as PAGE/NAME"
                     : "no control '" + spec + "' (--dump lists them)";
    return nullptr;
}

int Drive(host::PropertyFrame& frame, const Options& o) {
    int status = 0;
    for (const auto& [name, value] : o.sets) {
        auto pages = DescribeSheet(frame);
        size_t page = 0;
        std::string error;
        const propsheet::Control* control = FindControl(frame, pages, name, &page, &error);
        if (control) {
            frame.SelectPage(page);
            error = propsheet::SetControl(*control, value);
        }
        if (!error.empty()) {
            std::fprintf(stderr, "yra-propsheet: --set %s=%s: %s\n", name.c_str(), value.c_str(), error.c_str());
            status = 1;
        }
    }
    if (o.apply) {
        HRESULT hr = frame.Apply();
        std::printf("Apply: %s\n", FAILED(hr) ? ("failed, " + host::FormatResult(hr)).c_str() : "done");
        if (FAILED(hr)) status = 1;
    } else if (frame.ApplyEnabled()) {
        std::printf("Not applied: the changes are dropped (add --apply to write them).\n");
    }
    if (o.dump) Dump(frame);
    return status;
}

int Run(const Options& o) {
    propsheet::DeviceList devices;
    HRESULT hr = devices.Load();
    if (FAILED(hr)) {
        std::fprintf(stderr, "yra-propsheet: cannot list the devices (%s)\n", host::FormatResult(hr).c_str());
        return 1;
    }
    if (o.list) {
        for (size_t i = 0; i < devices.Devices().size(); ++i)
            std::printf("%zu: %s\n", i, Utf8(devices.Devices()[i].name).c_str());
        return 0;
    }
    const propsheet::Device* device = devices.Find(o.device);
    if (!device) {
        std::fprintf(stderr, "yra-propsheet: no device '%s' (%zu listed; --list shows them)\n", o.device.c_str(),
                     devices.Devices().size());
        return 1;
    }
    IBaseFilter* filter = nullptr;
    hr = devices.Bind(*device, &filter);
    if (FAILED(hr)) {
        std::fprintf(stderr, "yra-propsheet: cannot open '%s' (%s)\n", Utf8(device->name).c_str(),
                     host::FormatResult(hr).c_str());
        return 1;
    }
    std::vector<CLSID> pages;
    hr = host::GetObjectPages(filter, &pages);
    if (FAILED(hr) || pages.empty()) {
        std::fprintf(stderr,
                     "yra-propsheet: '%s' has no property pages%s. Register them first:\n"
                     "  yra-regsvr %s %s\n",
                     Utf8(device->name).c_str(),
                     FAILED(hr) ? (" (" + host::FormatResult(hr) + ")").c_str() : "",
                     tool_common::BuiltModulePath("MxVideoCtrlPlugin.so").c_str(),
                     tool_common::BuiltModulePath("MxPowerPlugin.so").c_str());
        filter->Release();
        return 1;
    }

    std::unique_ptr<host::PropertyFrame> frame;
    host::PropertyFrame::Options options;
    options.caption = device->name;
    hr = host::PropertyFrame::Open(options, {filter}, pages, &frame);
    filter->Release();
    if (FAILED(hr)) {
        std::fprintf(stderr, "yra-propsheet: cannot open the sheet (%s)\n", host::FormatResult(hr).c_str());
        return 1;
    }
    bool registryFault = false;
    for (const host::LeftOutPage& left : frame->LeftOut()) {
        std::fprintf(stderr, "yra-propsheet: page %s left out: %s failed, %s\n", GuidText(left.clsid).c_str(),
                     left.step, host::FormatResult(left.result).c_str());
        registryFault |= left.result == REGDB_E_READREGDB;
    }
    // A sheet whose every page was left out shows nothing: that is a failure, whatever is asked.
    const bool empty = frame->PageCount() == 0;
    if (empty) {
        std::string registry = registryFault ? host::RegistryLastError() : std::string();
        std::fprintf(stderr, "yra-propsheet: every page of '%s' was left out, so the sheet is empty%s%s\n",
                     Utf8(device->name).c_str(),
                     registry.empty() ? "" : "; the registry: ", registry.c_str());
    }
    if (o.page < frame->PageCount()) frame->SelectPage(o.page);

    bool headless = std::string_view(host::ui::CurrentDriver().Name()) == "headless";
    int status = 0;
    if (!o.screenshot.empty()) {
        if (!host::ui::Screenshot(frame->Window(), o.screenshot)) {
            std::fprintf(stderr, "yra-propsheet: could not write %s\n", o.screenshot.c_str());
            status = 1;
        }
    } else if (o.dump || o.apply || !o.sets.empty() || headless) {
        std::printf("Device: %s\n", Utf8(device->name).c_str());
        Options driven = o;
        if (headless && !o.dump && !o.apply && o.sets.empty()) {
            std::printf("(no display: the sheet is shown as text; --help tells how to change it)\n");
            driven.dump = true;
        }
        status = Drive(*frame, driven);
    } else {
        frame->RunModal();
    }
    frame.reset();
    return empty ? 1 : status;
}

int Main(int argc, char** argv) {
    Options options;
    if (auto status = ParseOptions(argc, argv, options)) return *status;
    bool driven = options.dump || options.apply || options.list || !options.sets.empty();
    if (!options.screenshot.empty()) {
        // A picture needs no screen: without a display Qt draws it offscreen.
        if (!host::ui::DisplayProblem().empty()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (!host::ui::SelectDriver("qt")) {
            std::fprintf(stderr, "yra-propsheet: a screenshot needs the Qt driver, which is not available\n");
            return 1;
        }
    } else if (driven) {
        host::ui::SelectDriver("headless");
    } else if (std::string problem = host::ui::DisplayProblem(); !problem.empty()) {
        const char* display = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        // A display was named but cannot be had: say so, then show the sheet as text.
        if ((display && *display) || (wayland && *wayland))
            std::fprintf(stderr, "yra-propsheet: no display (%s)\n", problem.c_str());
        host::ui::SelectDriver("headless");
    }
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        std::fprintf(stderr, "yra-propsheet: the component runtime did not start (%s)\n",
                     host::FormatResult(hr).c_str());
        return 1;
    }
    int status = Run(options);
    // A setting written here is what the device's next stream needs, in whichever program that
    // stream runs: what is being prepared for it is finished and kept before this one exits.
    host::WaitForPreparedStreams(std::chrono::seconds(30));
    CoFreeUnusedLibraries();
    CoUninitialize();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    return tool_common::FinishStandardOutput("yra-propsheet", Main(argc, argv));
}
