// Fonts and icons for the widgets. The platform's dialog faces are drawn with DejaVu Sans
// narrowed to 85 %, which gives the 6-pixel average character of 8 points that their dialog
// units are measured in, so texts fit the controls laid out for them.
#include "qt_driver.h"

#include <QPainter>

#include <map>

namespace host::ui::qt {
namespace {

constexpr int kDialogFaceStretch = 85;

bool IsDialogFace(const QString& face) {
    return face.isEmpty() || face.startsWith(u"MS ") || face == u"Tahoma" ||
           face == u"Microsoft Sans Serif" || face == u"Segoe UI" || face == u"System" || face == u"Arial";
}

} // namespace

QFont FontFor(HFONT font) {
    LOGFONTW lf{};
    if (!font || !GetFontInfo(font, &lf)) GetFontInfo(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)), &lf);
    QString face = QString::fromUtf16(lf.lfFaceName);
    QFont f(IsDialogFace(face) ? QStringLiteral("DejaVu Sans") : face);
    if (IsDialogFace(face)) f.setStretch(kDialogFaceStretch);
    // A negative height is the character height, a positive one the cell height.
    int pixels = lf.lfHeight < 0 ? -lf.lfHeight : (lf.lfHeight > 0 ? lf.lfHeight * 4 / 5 : 11);
    f.setPixelSize(std::max(pixels, 1));
    if (lf.lfWeight > 0) f.setWeight(static_cast<QFont::Weight>(std::clamp<int>(lf.lfWeight, 100, 900)));
    f.setItalic(lf.lfItalic != 0);
    f.setUnderline(lf.lfUnderline != 0);
    f.setStrikeOut(lf.lfStrikeOut != 0);
    return f;
}

QPixmap PixmapFor(HICON icon) {
    static std::map<HICON, QPixmap> cache;
    auto it = cache.find(icon);
    if (it != cache.end()) return it->second;
    IconInfo info;
    QPixmap pixmap;
    if (GetIconInfo(icon, &info) && info.png && info.pngSize)
        pixmap.loadFromData(info.png, static_cast<uint>(info.pngSize), "PNG");
    if (pixmap.isNull()) {
        // No image shipped: a plain badge of the icon's size.
        pixmap = QPixmap(std::max(info.cx, 1), std::max(info.cy, 1));
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0x1F, 0x5F, 0xA8));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(pixmap.rect().adjusted(1, 1, -1, -1), 5, 5);
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(std::max(info.cy / 2, 6));
        p.setFont(f);
        p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("Y"));
    }
    cache[icon] = pixmap;
    return pixmap;
}

} // namespace host::ui::qt
