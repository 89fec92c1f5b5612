#include "Views/CorrectionToastView.h"

#include "Views/DroppyNotchShape.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

namespace quillo {

QFont CorrectionToastView::previewFont() {
    QFont font = QApplication::font();
    // Sizes here are in device-independent pixels; a 96-dpi point is 4/3 of one.
    font.setPointSizeF(CorrectionToastLayout::previewFontPointSize * 72.0 / 96.0);
    font.setWeight(QFont::Medium);
    return font;
}

PreviewTextMetrics CorrectionToastView::metrics(const QString& text) {
    const QFontMetricsF fm(previewFont());
    double widest = 0.0;
    for (const QString& line : text.split(QLatin1Char('\n'))) widest = std::max(widest, fm.horizontalAdvance(line));
    return {widest, [text](double width) {
                const QFontMetricsF m(previewFont());
                return m.boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, text).height();
            }};
}

QString CorrectionToastView::richText(const QList<CorrectionPreviewSegment>& segments, bool differentiateWithoutColor) {
    QString html;
    for (const auto& segment : segments) {
        QString escaped = segment.text.toHtmlEscaped();
        escaped.replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
        if (segment.isChanged) {
            html += differentiateWithoutColor
                        ? QStringLiteral(
                              "<span style=\"color:#c9b6ff; font-weight:600; text-decoration:underline;\">%1</span>")
                              .arg(escaped)
                        : QStringLiteral("<span style=\"color:#c9b6ff; font-weight:600;\">%1</span>").arg(escaped);
        } else {
            html += escaped;
        }
    }
    return html;
}

CorrectionToastView::CorrectionToastView(QList<CorrectionPreviewSegment> segments, std::optional<QString> routingNotice,
                                         CorrectionToastFrame frame, bool differentiateWithoutColor, QWidget* parent)
    : QWidget(parent), segments_(std::move(segments)), routingNotice_(std::move(routingNotice)), frame_(frame) {
    setFixedSize(frame_.size.toSize());
    setAccessibleName(QStringLiteral("Correction preview"));

    auto* layout = new QVBoxLayout(this);
    // The top padding keeps the text clear of a camera housing; without one the margins match.
    const int vertical = int(frame_.topPadding) + 8 + 14;
    const int top = frame_.attachesToNotch ? int(frame_.topPadding) + 8 : vertical / 2;
    layout->setContentsMargins(24, top, 24, vertical - top);
    layout->setSpacing(4);

    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("previewText"));
    text->setTextFormat(Qt::RichText);
    text->setWordWrap(true);
    text->setFont(previewFont());
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setStyleSheet(QStringLiteral("color: #f2f2f7;"));
    text->setText(richText(segments_, differentiateWithoutColor));
    text->setFocusPolicy(Qt::NoFocus);
    // Short texts are centred by equal stretches; a long one takes all the room and is cut at
    // its end, never its beginning.
    const int stretch = frame_.attachesToNotch ? 0 : 1;
    if (stretch) layout->addStretch(stretch);
    layout->addWidget(text, 1 - stretch);

    if (routingNotice_ && !routingNotice_->isEmpty()) {
        auto* notice = new QLabel(*routingNotice_, this);
        notice->setObjectName(QStringLiteral("routingNotice"));
        QFont small = QApplication::font();
        small.setPointSizeF(11.0 * 72.0 / 96.0);
        notice->setFont(small);
        notice->setStyleSheet(QStringLiteral("color: #a1a1aa;"));
        layout->addWidget(notice);
    }
    if (stretch) layout->addStretch(stretch);
}

void CorrectionToastView::setHovered(bool hovered) {
    if (hovered_ == hovered) return;
    hovered_ = hovered;
    update();
}

void CorrectionToastView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const DroppyNotchShape shape{10.0, 22.0, frame_.attachesToNotch};
    painter.fillPath(shape.path(QRectF(rect())), QColor(18, 18, 22, hovered_ ? 250 : 236));
}

} // namespace quillo
