// The Qt driver: keeps one widget per window, runs modal loops as nested event loops, and
// delivers posted messages from the Qt event loop.
#include "qt_driver.h"

#include "host/file_io.h"

#include <QApplication>
#include <QBuffer>
#include <QMetaObject>
#include <QPainter>
#include <QThread>

#include <fcntl.h>
#include <unistd.h>

namespace host::ui::qt {
namespace {

QtDriver* g_instance = nullptr;

bool WriteWholeFile(const std::string& path, const char* data, size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = host::WriteAll(fd, data, size);
    if (::close(fd) != 0) ok = false;
    return ok;
}

void EnsureApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "yra";
    static char* argv[] = {name, nullptr};
    // Lives for the rest of the process: windows may be made and shown until exit.
    new QApplication(argc, argv);
}

constexpr unsigned kAllChanges = kChangeText | kChangeStyle | kChangeGeometry | kChangeCheck | kChangeItems |
                                 kChangeSelection | kChangeFont | kChangeIcon;

} // namespace

QtDriver::QtDriver() {
    EnsureApplication();
    g_instance = this;
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [this](QWidget* old, QWidget* now) {
        if (g_instance == this) OnFocusChanged(old, now);
    });
}

QtDriver::~QtDriver() {
    if (g_instance == this) g_instance = nullptr;
    QObject::disconnect(qApp, &QApplication::focusChanged, qApp, nullptr);
    for (auto& [hwnd, widget] : m_widgets)
        if (widget && widget->isWindow()) delete widget.data();
}

QtDriver* QtDriver::Instance() {
    return g_instance;
}

bool QtDriver::OnGuiThread() const {
    return QThread::currentThread() == qApp->thread();
}

QWidget* QtDriver::Widget(HWND hwnd) const {
    auto it = m_widgets.find(hwnd);
    return it == m_widgets.end() ? nullptr : it->second.data();
}

void QtDriver::WindowCreated(HWND hwnd) {
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(
            qApp, [this, hwnd] { WindowCreated(hwnd); }, Qt::QueuedConnection);
        return;
    }
    WindowInfo info;
    if (!GetWindowInfo(hwnd, &info) || Widget(hwnd)) return;
    QWidget* parent = info.child() ? Widget(info.parent) : nullptr;
    QWidget* widget = CreateWidget(info, parent);
    if (!widget) return;
    m_widgets[hwnd] = widget;
    Sync(hwnd, kAllChanges);
}

void QtDriver::WindowDestroyed(HWND hwnd) {
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(
            qApp, [this, hwnd] { WindowDestroyed(hwnd); }, Qt::QueuedConnection);
        return;
    }
    auto it = m_widgets.find(hwnd);
    if (it == m_widgets.end()) return;
    QPointer<QWidget> widget = it->second;
    m_widgets.erase(it);
    if (!widget) return;
    // Later: the widget may be inside its own signal (a click that destroys its dialog).
    widget->hide();
    widget->setProperty("yraHwnd", QVariant());
    widget->deleteLater();
}

void QtDriver::WindowChanged(HWND hwnd, unsigned changes) {
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(
            qApp, [this, hwnd, changes] { WindowChanged(hwnd, changes); }, Qt::QueuedConnection);
        return;
    }
    Sync(hwnd, changes);
}

void QtDriver::Sync(HWND hwnd, unsigned changes) {
    QWidget* widget = Widget(hwnd);
    WindowInfo info;
    if (!widget || !GetWindowInfo(hwnd, &info)) return;
    SyncWidget(widget, info, changes);
    if (!widget->isWindow() || !(changes & kChangeStyle)) return;
    // Top-level windows: modality before showing, then visibility and the minimised state.
    if (info.visible() && !widget->isVisible()) {
        widget->setWindowModality(info.modal ? Qt::ApplicationModal : Qt::NonModal);
        if (info.iconic())
            widget->showMinimized();
        else
            widget->show();
    } else if (!info.visible() && widget->isVisible()) {
        widget->hide();
    } else if (info.visible() && info.iconic() != widget->isMinimized()) {
        if (info.iconic())
            widget->showMinimized();
        else
            widget->showNormal();
    }
}

void QtDriver::FocusChanged(HWND hwnd) {
    if (!OnGuiThread() || !hwnd) return;
    QWidget* widget = Widget(hwnd);
    if (!widget || widget->hasFocus()) return;
    m_syncingFocus = true;
    widget->setFocus(Qt::OtherFocusReason);
    m_syncingFocus = false;
}

void QtDriver::OnFocusChanged(QWidget*, QWidget* now) {
    if (m_syncingFocus || !now) return;
    // A compound widget's inner part stands for the widget.
    for (QWidget* w = now; w; w = w->parentWidget()) {
        HWND hwnd = WindowOf(w);
        if (!hwnd) continue;
        if (GetFocus() != hwnd) UserFocus(hwnd);
        return;
    }
}

void QtDriver::Invalidated(HWND hwnd) {
    if (!OnGuiThread()) return;
    if (QWidget* widget = Widget(hwnd)) widget->update();
}

void QtDriver::SetPainting(HWND hwnd, QPainter* painter) {
    m_paintingHwnd = hwnd;
    m_painter = painter;
}

void QtDriver::IconDrawn(HDC dc, int x, int y, HICON icon) {
    if (!m_painter || reinterpret_cast<HWND>(dc) != m_paintingHwnd) return;
    m_painter->drawPixmap(x, y, PixmapFor(icon));
}

void QtDriver::RunModalLoop(HWND dlg) {
    if (!OnGuiThread() || IsModalEnded(dlg)) return;
    QEventLoop loop;
    m_loops[dlg] = &loop;
    DispatchPostedMessages();
    if (!IsModalEnded(dlg)) loop.exec(QEventLoop::DialogExec);
    m_loops.erase(dlg);
}

void QtDriver::ModalEnded(HWND dlg) {
    auto it = m_loops.find(dlg);
    if (it != m_loops.end()) it->second->quit();
}

void QtDriver::MessagesPosted() {
    QMetaObject::invokeMethod(
        qApp, [] { DispatchPostedMessages(); }, Qt::QueuedConnection);
}

bool QtDriver::Screenshot(HWND hwnd, const std::string& pngPath) {
    QWidget* widget = Widget(hwnd);
    if (!widget || !OnGuiThread()) return false;
    QCoreApplication::processEvents();
    // Encoded in memory and written here, so that a failed write (a full disk) is seen: the
    // image writer does not report one that happens when its file is closed.
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !widget->grab().save(&buffer, "PNG")) return false;
    return WriteWholeFile(pngPath, png.constData(), static_cast<size_t>(png.size()));
}

std::unique_ptr<Driver> CreateDriver() {
    return std::make_unique<QtDriver>();
}

QWidget* WidgetOf(HWND hwnd) {
    return g_instance ? g_instance->Widget(hwnd) : nullptr;
}

} // namespace host::ui::qt

extern "C" __attribute__((visibility("default"))) host::ui::Driver* YraUiCreateQtDriver() {
    return host::ui::qt::CreateDriver().release();
}
