#include "tool_images.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace {

using DrawFn = std::function<void(QPainter &)>;

bool SaveIcon(const QString &sPath, const DrawFn &draw)
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    painter.end();
    return image.save(sPath);
}

void Bars(QPainter &p, const QList<int> &heights, const QColor &colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const int nWidth = 28 / int(heights.size());
    for (int i = 0; i < heights.size(); ++i)
        p.drawRect(2 + i * nWidth, 30 - heights[i], nWidth - 2, heights[i]);
}

void TreeLines(QPainter &p, int nDepth)
{
    p.setPen(QPen(QColor(40, 40, 40), 2));
    for (int row = 0; row < 4; ++row) {
        const int nIndent = (row == 0) ? 0 : qMin(nDepth, row) * 6;
        p.drawLine(4 + nIndent, 6 + row * 7, 28, 6 + row * 7);
    }
}

} // namespace

QString InstallToolImages(const QString &sBaseDir)
{
    const QString sRoot = QDir(sBaseDir).filePath(QStringLiteral("toolimages"));
    if (!QDir().mkpath(sRoot + QStringLiteral("/gpuprofilertool")) || !QDir().mkpath(sRoot + QStringLiteral("/common")))
        return {};

    const QColor ink(40, 40, 40);
    const QList<QPair<QString, DrawFn>> icons = {
        {QStringLiteral("gpuprofilertool/appicon.png"),
         [](QPainter &p) {
             Bars(p, {10, 22, 14, 28, 8}, QColor(0, 160, 0));
         }},
        {QStringLiteral("gpuprofilertool/pause.png"),
         [&](QPainter &p) {
             p.setPen(Qt::NoPen);
             p.setBrush(ink);
             p.drawRect(8, 6, 6, 20);
             p.drawRect(18, 6, 6, 20);
         }},
        {QStringLiteral("gpuprofilertool/removebubbles.png"),
         [&](QPainter &p) {
             p.setPen(QPen(ink, 2));
             p.setBrush(QColor(120, 170, 230));
             p.drawRect(2, 12, 8, 8);
             p.drawRect(12, 12, 8, 8);
             p.drawRect(22, 12, 8, 8);
         }},
        {QStringLiteral("gpuprofilertool/flush.png"),
         [&](QPainter &p) {
             p.setPen(QPen(ink, 3));
             p.drawLine(6, 16, 24, 16);
             p.drawLine(18, 9, 25, 16);
             p.drawLine(18, 23, 25, 16);
             p.drawLine(28, 6, 28, 26);
         }},
        {QStringLiteral("gpuprofilertool/hierarchy.png"), [](QPainter &p) { TreeLines(p, 2); }},
        {QStringLiteral("gpuprofilertool/collapseall.png"), [](QPainter &p) { TreeLines(p, 0); }},
        {QStringLiteral("gpuprofilertool/expandone.png"), [](QPainter &p) { TreeLines(p, 1); }},
        {QStringLiteral("gpuprofilertool/expandall.png"), [](QPainter &p) { TreeLines(p, 3); }},
        {QStringLiteral("gpuprofilertool/memorychip.png"),
         [&](QPainter &p) {
             p.setPen(QPen(ink, 2));
             p.setBrush(QColor(60, 140, 60));
             p.drawRect(7, 7, 18, 18);
             for (int i = 0; i < 3; ++i) {
                 p.drawLine(10 + i * 6, 2, 10 + i * 6, 7);
                 p.drawLine(10 + i * 6, 25, 10 + i * 6, 30);
             }
         }},
        {QStringLiteral("common/repeat.png"),
         [&](QPainter &p) {
             p.setPen(QPen(QColor(30, 110, 200), 3));
             p.drawArc(6, 6, 20, 20, 30 * 16, 300 * 16);
             p.drawLine(24, 4, 25, 11);
             p.drawLine(25, 11, 18, 11);
         }},
        {QStringLiteral("common/remove.png"),
         [&](QPainter &p) {
             p.setPen(QPen(QColor(200, 40, 40), 3));
             p.drawLine(8, 8, 24, 24);
             p.drawLine(24, 8, 8, 24);
         }},
    };
    for (const auto &icon : icons) {
        if (!SaveIcon(QDir(sRoot).filePath(icon.first), icon.second))
            return {};
    }
    QDir::setSearchPaths(QStringLiteral("toolimages"), {sRoot});
    return sRoot;
}
