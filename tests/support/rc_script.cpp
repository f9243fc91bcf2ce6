#include "tests/support/rc_script.h"

#include "host/utf.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace testing_support {
namespace {

struct Control {
    std::string className, text;
    long id = 0, style = 0, exStyle = 0, x = 0, y = 0, cx = 0, cy = 0;
};

struct Dialog {
    long style = 0, exStyle = 0, x = 0, y = 0, cx = 0, cy = 0, pointSize = 0;
    std::string caption, typeface;
    std::vector<Control> controls;
};

struct Script {
    std::map<long, Dialog> dialogs;
    std::map<long, std::string> strings;
    std::set<long> icons;
};

// Splits "KEYWORD a, "b, c", d" into the keyword and its comma-separated arguments; quoted
// arguments lose their quotes.
std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> parts;
    std::string current;
    bool quoted = false, keyword = true;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                current += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (!quoted && keyword && c == ' ' && !current.empty()) {
            parts.push_back(current);
            current.clear();
            keyword = false;
        } else if (!quoted && c == ',') {
            parts.push_back(current);
            current.clear();
        } else if (quoted || c != ' ') {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

long Number(const std::string& s) {
    return std::strtol(s.c_str(), nullptr, 0);
}

bool ParseControl(const std::vector<std::string>& p, Control& c) {
    static const std::set<std::string> kStatic = {"LTEXT", "RTEXT", "CTEXT"};
    static const std::set<std::string> kButton = {
        "PUSHBUTTON",      "DEFPUSHBUTTON", "GROUPBOX", "CHECKBOX",   "AUTOCHECKBOX",
        "AUTORADIOBUTTON", "RADIOBUTTON",   "STATE3",   "AUTO3STATE", "PUSHBOX"};
    static const std::map<std::string, std::string> kUntitled = {
        {"COMBOBOX", "COMBOBOX"}, {"EDITTEXT", "EDIT"}, {"LISTBOX", "LISTBOX"}, {"SCROLLBAR", "SCROLLBAR"}};
    const std::string& kw = p[0];
    size_t i = 1;
    if (kw == "CONTROL") {
        if (p.size() < 9) return false;
        c.text = p[1];
        c.id = Number(p[2]);
        c.className = p[3];
        c.style = Number(p[4]);
        c.x = Number(p[5]), c.y = Number(p[6]), c.cx = Number(p[7]), c.cy = Number(p[8]);
        if (p.size() > 9) c.exStyle = Number(p[9]);
        return true;
    }
    if (kStatic.count(kw) || kButton.count(kw)) {
        c.className = kStatic.count(kw) ? "STATIC" : "BUTTON";
        c.text = p.size() > 1 ? p[i++] : "";
    } else if (auto it = kUntitled.find(kw); it != kUntitled.end()) {
        c.className = it->second;
    } else {
        return false;
    }
    if (p.size() < i + 6) return false;
    c.id = Number(p[i]);
    c.x = Number(p[i + 1]), c.y = Number(p[i + 2]), c.cx = Number(p[i + 3]), c.cy = Number(p[i + 4]);
    c.style = Number(p[i + 5]);
    if (p.size() > i + 6) c.exStyle = Number(p[i + 6]);
    return true;
}

// Reads windres' normal form of the script: one statement a line.
bool Parse(std::istream& in, Script& script, std::string& error) {
    std::string line;
    Dialog* dialog = nullptr;
    bool inDialog = false, inStrings = false;
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 2, "/*") == 0) continue;
        line = line.substr(start);
        std::vector<std::string> p = Split(line);
        if (p.empty()) continue;
        if (line.find(" DIALOGEX ") != std::string::npos || line.find(" DIALOG ") != std::string::npos) {
            // "102 DIALOGEX [memory flags] x, y, cx, cy"
            std::vector<std::string> words;
            std::istringstream in(line);
            for (std::string w; in >> w;)
                words.push_back(w);
            dialog = &script.dialogs[Number(words[0])];
            if (words.size() >= 6) {
                const size_t n = words.size();
                dialog->x = Number(words[n - 4]), dialog->y = Number(words[n - 3]);
                dialog->cx = Number(words[n - 2]), dialog->cy = Number(words[n - 1]);
            }
            inDialog = false;
        } else if (p[0] == "STRINGTABLE") {
            inStrings = true;
        } else if (line.find("RT_GROUP_ICON") != std::string::npos) {
            script.icons.insert(Number(p[0]));
        } else if (p[0] == "BEGIN") {
            inDialog = dialog != nullptr;
        } else if (p[0] == "END") {
            if (inDialog) dialog = nullptr;
            inDialog = inStrings = false;
        } else if (dialog && !inDialog) {
            if (p[0] == "STYLE")
                dialog->style = Number(p[1]);
            else if (p[0] == "EXSTYLE")
                dialog->exStyle = Number(p[1]);
            else if (p[0] == "CAPTION")
                dialog->caption = p[1];
            else if (p[0] == "FONT" && p.size() >= 3)
                dialog->pointSize = Number(p[1]), dialog->typeface = p[2];
        } else if (dialog && inDialog) {
            Control c;
            if (!ParseControl(p, c)) {
                error = "cannot read the control statement: " + line;
                return false;
            }
            dialog->controls.push_back(c);
        } else if (inStrings && p.size() == 2) {
            script.strings[Number(line.substr(0, line.find(',')))] = p[1];
        }
    }
    return true;
}

std::string Utf8(LPCWSTR s) {
    return s ? host::Utf8FromWide(s) : std::string();
}

std::string Hex(long v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(v) & 0xFFFFFFFFul);
    return buffer;
}

std::string Rect(long x, long y, long cx, long cy) {
    return std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(cx) + "," + std::to_string(cy);
}

template <class A, class B>
void Expect(std::vector<std::string>& diffs, const std::string& what, const A& script, const B& table) {
    if (script == table) return;
    std::ostringstream out;
    out << what << ": script " << script << ", table " << table;
    diffs.push_back(out.str());
}

} // namespace

std::string ResourceCompiler() {
    const char* kName = "x86_64-w64-mingw32-windres";
    std::string probe = std::string("command -v ") + kName + " >/dev/null 2>&1";
    return std::system(probe.c_str()) == 0 ? kName : "";
}

std::vector<std::string> CompareResourceScript(const std::string& script,
                                               const std::vector<std::string>& includeDirs,
                                               const RESOURCETABLE& table) {
    std::string command = ResourceCompiler() + " -O rc";
    for (const std::string& dir : includeDirs)
        command += " -I '" + dir + "'";
    command += " '" + script + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return {"cannot run " + command};
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        text.append(buffer, n);
    if (::pclose(pipe.release()) != 0) return {"the resource compiler failed: " + text};

    Script parsed;
    std::string error;
    std::istringstream in(text);
    if (!Parse(in, parsed, error)) return {error};

    std::vector<std::string> diffs;
    Expect(diffs, "dialog count", parsed.dialogs.size(), size_t(table.dialogCount));
    for (int i = 0; i < table.dialogCount; ++i) {
        const DLGTEMPLATERES& t = table.dialogs[i];
        const std::string name = "dialog " + std::to_string(t.id);
        auto it = parsed.dialogs.find(t.id);
        if (it == parsed.dialogs.end()) {
            diffs.push_back(name + ": not in the script");
            continue;
        }
        const Dialog& d = it->second;
        Expect(diffs, name + " style", Hex(d.style), Hex(long(t.style)));
        Expect(diffs, name + " exstyle", Hex(d.exStyle), Hex(long(t.exStyle)));
        Expect(diffs, name + " rect", Rect(d.x, d.y, d.cx, d.cy), Rect(t.x, t.y, t.cx, t.cy));
        Expect(diffs, name + " caption", d.caption, Utf8(t.caption));
        Expect(diffs, name + " font", std::to_string(d.pointSize) + " " + d.typeface,
               std::to_string(t.pointSize) + " " + Utf8(t.typeface));
        Expect(diffs, name + " control count", d.controls.size(), size_t(t.itemCount));
        for (int k = 0; k < t.itemCount && k < static_cast<int>(d.controls.size()); ++k) {
            const DLGITEMRES& item = t.items[k];
            const Control& c = d.controls[k];
            const std::string at = name + " control " + std::to_string(k);
            Expect(diffs, at + " class", c.className, Utf8(item.className));
            const std::string text = IS_INTRESOURCE(item.text)
                                         ? std::to_string(LOWORD(reinterpret_cast<ULONG_PTR>(item.text)))
                                         : Utf8(item.text);
            Expect(diffs, at + " text", c.text, text);
            Expect(diffs, at + " id", c.id, long(item.id));
            Expect(diffs, at + " style", Hex(c.style), Hex(long(item.style)));
            Expect(diffs, at + " exstyle", Hex(c.exStyle), Hex(long(item.exStyle)));
            Expect(diffs, at + " rect", Rect(c.x, c.y, c.cx, c.cy), Rect(item.x, item.y, item.cx, item.cy));
        }
    }
    Expect(diffs, "string count", parsed.strings.size(), size_t(table.stringCount));
    for (int i = 0; i < table.stringCount; ++i) {
        auto it = parsed.strings.find(table.strings[i].id);
        Expect(diffs, "string " + std::to_string(table.strings[i].id),
               it == parsed.strings.end() ? std::string("<missing>") : it->second,
               Utf8(table.strings[i].text));
    }
    std::set<long> icons;
    for (int i = 0; i < table.iconCount; ++i)
        icons.insert(table.icons[i].id);
    Expect(diffs, "icon count", parsed.icons.size(), icons.size());
    for (long id : icons)
        if (!parsed.icons.count(id)) diffs.push_back("icon " + std::to_string(id) + ": not in the script");
    return diffs;
}

} // namespace testing_support
