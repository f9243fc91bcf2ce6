// The Qt driver's pieces: one widget per window, synchronised from the core's state; user
// actions come back through the core's User* calls.
#pragma once

#include "host/ui_qt.h"

#include <QEventLoop>
#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <map>

namespace host::ui::qt {

class QtDriver final : public Driver {
public:
    QtDriver();
    ~QtDriver() override;

    const char* Name() const override { return "qt"; }
    void WindowCreated(HWND hwnd) override;
    void WindowDestroyed(HWND hwnd) override;
    void WindowChanged(HWND hwnd, unsigned changes) override;
    void FocusChanged(HWND hwnd) override;
    void Invalidated(HWND hwnd) override;
    void IconDrawn(HDC dc, int x, int y, HICON icon) override;
    void RunModalLoop(HWND dlg) override;
    void ModalEnded(HWND dlg) override;
    void MessagesPosted() override;
    int ShowMessageBox(const MessageBoxRecord& box) override;
    FileDialogAnswer ShowFileDialog(const FileDialogRequest& request) override;
    bool Screenshot(HWND hwnd, const std::string& pngPath) override;

    static QtDriver* Instance();
    QWidget* Widget(HWND hwnd) const;
    // While a dialog widget paints, the window procedure may draw into it.
    void SetPainting(HWND hwnd, class QPainter* painter);

private:
    void Sync(HWND hwnd, unsigned changes);
    void OnFocusChanged(QWidget* old, QWidget* now);
    bool OnGuiThread() const;

    std::map<HWND, QPointer<QWidget>> m_widgets;
    std::map<HWND, QEventLoop*> m_loops;
    HWND m_paintingHwnd = nullptr;
    class QPainter* m_painter = nullptr;
    bool m_syncingFocus = false;
};

// Widgets for the system classes, tagged with their window.
QWidget* CreateWidget(const WindowInfo& info, QWidget* parent);
void SyncWidget(QWidget* widget, const WindowInfo& info, unsigned changes);

// Fonts and icons.
QFont FontFor(HFONT font);
QPixmap PixmapFor(HICON icon);

// Strips the platform's mnemonic markers for texts shown as they are.
QString PlainText(const std::u16string& text);
QString ToQString(const std::u16string& text);
std::u16string FromQString(const QString& text);

} // namespace host::ui::qt
