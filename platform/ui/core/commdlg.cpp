// Message boxes and the file dialogs: the core logs and checks, the driver asks the person.
#include "state.h"

namespace host::ui {
namespace {

thread_local DWORD t_commDlgError = 0;

std::vector<FileFilter> ParseFilters(LPCWSTR filter) {
    std::vector<FileFilter> out;
    if (!filter) return out;
    for (const WCHAR* p = filter; *p;) {
        std::u16string description(p);
        p += description.size() + 1;
        if (!*p) break;
        std::u16string pattern(p);
        p += pattern.size() + 1;
        out.push_back({std::move(description), std::move(pattern)});
    }
    return out;
}

BOOL RunFileDialog(LPOPENFILENAMEW ofn, bool save) {
    t_commDlgError = 0;
    if (!ofn || ofn->lStructSize < sizeof(OPENFILENAMEW)) {
        t_commDlgError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (!ofn->lpstrFile || ofn->nMaxFile == 0) {
        t_commDlgError = CDERR_INITIALIZATION;
        return FALSE;
    }
    FileDialogRequest request;
    request.owner = ofn->hwndOwner;
    request.save = save;
    request.filters = ParseFilters(ofn->lpstrFilter);
    request.filterIndex = ofn->nFilterIndex ? static_cast<int>(ofn->nFilterIndex) : 1;
    request.initialName = std::u16string(ofn->lpstrFile, std::u16string_view(ofn->lpstrFile).size());
    request.initialDir = CopyString(ofn->lpstrInitialDir);
    request.defaultExt = CopyString(ofn->lpstrDefExt);
    request.title = CopyString(ofn->lpstrTitle);
    request.flags = ofn->Flags;
    FileDialogAnswer answer = CurrentDriver().ShowFileDialog(request);
    if (!answer.ok || answer.path.empty()) return FALSE;
    std::u16string path = ApplyDefaultExtension(answer.path, request.defaultExt);
    if (path.size() + 1 > ofn->nMaxFile) {
        // The platform reports the size needed in the buffer's first characters.
        if (ofn->nMaxFile >= 2) ofn->lpstrFile[0] = static_cast<WCHAR>(path.size() + 1);
        t_commDlgError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    CopyToBuffer(path, ofn->lpstrFile, static_cast<int>(ofn->nMaxFile));
    size_t slash = path.find_last_of(u'/');
    size_t name = slash == std::u16string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of(u'.');
    ofn->nFileOffset = static_cast<WORD>(name);
    ofn->nFileExtension = static_cast<WORD>((dot == std::u16string::npos || dot < name) ? 0 : dot + 1);
    ofn->nFilterIndex = static_cast<DWORD>(answer.filterIndex);
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle)
        CopyToBuffer(std::u16string_view(path).substr(name), ofn->lpstrFileTitle,
                     static_cast<int>(ofn->nMaxFileTitle));
    std::u16string_view ext =
        ofn->nFileExtension ? std::u16string_view(path).substr(ofn->nFileExtension) : u"";
    if (ofn->lpstrDefExt && !EqualsNoCase(ext, ofn->lpstrDefExt))
        ofn->Flags |= OFN_EXTENSIONDIFFERENT;
    else
        ofn->Flags &= ~static_cast<DWORD>(OFN_EXTENSIONDIFFERENT);
    return TRUE;
}

} // namespace
} // namespace host::ui

using namespace host::ui;

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    MessageBoxRecord box;
    box.owner = hWnd;
    box.text = CopyString(lpText);
    box.caption = lpCaption ? std::u16string(lpCaption) : std::u16string(u"Error");
    box.type = uType;
    size_t index;
    {
        auto lock = Locked();
        index = S().boxes.size();
        S().boxes.push_back(box);
    }
    int result = CurrentDriver().ShowMessageBox(box);
    {
        auto lock = Locked();
        if (index < S().boxes.size()) S().boxes[index].result = result;
    }
    return result;
}

BOOL GetSaveFileNameW(LPOPENFILENAMEW lpofn) {
    return RunFileDialog(lpofn, true);
}
BOOL GetOpenFileNameW(LPOPENFILENAMEW lpofn) {
    return RunFileDialog(lpofn, false);
}
DWORD CommDlgExtendedError() {
    return t_commDlgError;
}
