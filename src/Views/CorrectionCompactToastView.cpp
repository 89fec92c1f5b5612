#include "Views/CorrectionCompactToastView.h"

#include "Views/DroppyNotchShape.h"
#include "Views/QuilloSymbol.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace quillo {

namespace {

// Three dots, one brighter than the others, the bright one walking left to right.
class ProgressDots : public QWidget {
public:
    ProgressDots(const int& lit, QWidget* parent) : QWidget(parent), lit_(lit) { setFixedSize(34, 10); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            p.setBrush(QColor(255, 255, 255, i == lit_ ? 255 : 90));
            p.drawEllipse(QRectF(2 + i * 11, 1, 8, 8));
        }
    }

private:
    const int& lit_;
};

QFont scaledFont(double pixelPoints, QFont::Weight weight) {
    QFont f = QApplication::font();
    f.setPointSizeF(pixelPoints * 72.0 / 96.0);
    f.setWeight(weight);
    return f;
}

} // namespace

QString CorrectionCompactToastView::accessibilityLabel(const CorrectionToastStatusKind& status) {
    switch (status.kind) {
    case CorrectionToastStatusKind::Kind::processing: return QStringLiteral("Correction in progress");
    case CorrectionToastStatusKind::Kind::success: return QStringLiteral("Correction completed");
    case CorrectionToastStatusKind::Kind::error: break;
    }
    return QStringLiteral("Correction failed");
}

CorrectionCompactToastView::CorrectionCompactToastView(CorrectionToastStatusKind status, CorrectionToastFrame frame,
                                                       bool centersContent, Clock& clock, QWidget* parent)
    : QWidget(parent), status_(std::move(status)), frame_(frame), clock_(clock) {
    setFixedSize(frame_.size.toSize());
    setAccessibleName(accessibilityLabel(status_));

    auto* row = new QHBoxLayout(this);
    // The top padding keeps the content clear of a camera housing; without one the pill floats
    // and its content sits in the middle.
    const int vertical = int(frame_.topPadding) + 6 + 8;
    const int top = frame_.attachesToNotch ? int(frame_.topPadding) + 6 : vertical / 2;
    row->setContentsMargins(16, top, 16, vertical - top);
    row->setSpacing(10);
    if (centersContent) row->addStretch(1);

    using Kind = CorrectionToastStatusKind::Kind;
    if (status_.kind == Kind::processing) {
        dots_ = new ProgressDots(litDot_, this);
        dots_->setObjectName(QStringLiteral("progressDots"));
        row->addWidget(dots_, 0, Qt::AlignVCenter);
        auto* label = new QLabel(QStringLiteral("Correcting"), this);
        label->setFont(scaledFont(13.0, QFont::Medium));
        label->setStyleSheet(QStringLiteral("color: #f2f2f7;"));
        row->addWidget(label, 0, Qt::AlignVCenter);
        dotTimer_ = clock_.schedule(dotStepSeconds, [this] { stepDots(); });
    } else {
        const bool success = status_.kind == Kind::success;
        auto* icon = new QLabel(this);
        icon->setObjectName(QStringLiteral("statusIcon"));
        icon->setPixmap(QuilloSymbols::pixmap(
            success ? QuilloSymbol::checkmarkCircleFill : QuilloSymbol::exclamationmarkTriangleFill, QSize(18, 18),
            success ? QuilloPalette::green : QuilloPalette::orange, devicePixelRatioF()));
        // Level with the text, which the pill centres vertically.
        row->addWidget(icon, 0, Qt::AlignVCenter);

        auto* column = new QVBoxLayout;
        column->setSpacing(2);
        auto* title = new QLabel(success ? QStringLiteral("Corrected") : status_.message, this);
        title->setObjectName(QStringLiteral("statusText"));
        title->setWordWrap(!success);
        title->setFont(scaledFont(13.0, QFont::Medium));
        title->setStyleSheet(QStringLiteral("color: #f2f2f7;"));
        column->addWidget(title);
        if (status_.hasRoutingNotice()) {
            auto* notice = new QLabel(*status_.routingNotice, this);
            notice->setObjectName(QStringLiteral("routingNotice"));
            notice->setWordWrap(true);
            notice->setFont(scaledFont(11.0, QFont::Normal));
            notice->setStyleSheet(QStringLiteral("color: #a1a1aa;"));
            column->addWidget(notice);
        }
        row->addLayout(column, 1);
    }
    if (centersContent) row->addStretch(1);
}

CorrectionCompactToastView::~CorrectionCompactToastView() {
    if (dotTimer_) clock_.cancelScheduled(*dotTimer_);
}

void CorrectionCompactToastView::stepDots() {
    litDot_ = (litDot_ + 1) % 3;
    if (dots_) dots_->update();
    dotTimer_ = clock_.schedule(dotStepSeconds, [this] { stepDots(); });
}

void CorrectionCompactToastView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const DroppyNotchShape shape{10.0, frame_.attachesToNotch ? 18.0 : std::min(19.0, height() / 2.0),
                                 frame_.attachesToNotch};
    painter.fillPath(shape.path(QRectF(rect())), QColor(18, 18, 22, 238));
}

} // namespace quillo
