#pragma once

#include "Support/CorrectionPreviewSegment.h"
#include "Views/CorrectionToastLayout.h"

#include <QFont>
#include <QList>
#include <QWidget>
#include <optional>

class QLabel;

namespace quillo {

// The preview: the corrected text with the changed words marked, and the routing notice.
class CorrectionToastView : public QWidget {
    Q_OBJECT
public:
    CorrectionToastView(QList<CorrectionPreviewSegment> segments, std::optional<QString> routingNotice,
                        CorrectionToastFrame frame, bool differentiateWithoutColor, QWidget* parent = nullptr);

    static QFont previewFont();
    // Measures a text with the preview font.
    static PreviewTextMetrics metrics(const QString& text);
    // The marked-up text: changed runs highlighted (and underlined when colour alone must not
    // carry the meaning).
    static QString richText(const QList<CorrectionPreviewSegment>& segments, bool differentiateWithoutColor);

    const QList<CorrectionPreviewSegment>& segments() const { return segments_; }
    const std::optional<QString>& routingNotice() const { return routingNotice_; }
    bool isHovered() const { return hovered_; }
    void setHovered(bool hovered);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<CorrectionPreviewSegment> segments_;
    std::optional<QString> routingNotice_;
    CorrectionToastFrame frame_;
    bool hovered_ = false;
};

} // namespace quillo
