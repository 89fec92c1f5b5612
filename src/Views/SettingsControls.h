#pragma once

#include "Views/QuilloSymbol.h"

#include <QColor>
#include <QPushButton>
#include <QString>

class QFrame;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace quillo {

// Small building blocks shared by the settings window's pages.
namespace SettingsControls {

QLabel* symbolLabel(QuilloSymbol symbol, const QColor& tint, QWidget* parent, int side = 16);
// Word-wrapped text in the secondary colour.
QLabel* secondaryLabel(const QString& text, QWidget* parent);
QLabel* titleLabel(const QString& text, QWidget* parent, qreal scale = 1.0);
// A titled group: the title above a rounded card whose layout is returned in `body`.
QWidget* section(const QString& title, QWidget* parent, QVBoxLayout** body);
QFrame* separator(QWidget* parent);

} // namespace SettingsControls

// A button that shows or hides something. Assistive technologies read its state as expanded
// or collapsed and its value as "Expanded" or "Collapsed".
class DisclosureButton : public QPushButton {
    Q_OBJECT
public:
    DisclosureButton(QString expandedTitle, QString collapsedTitle, QWidget* parent = nullptr);

    bool isExpanded() const { return expanded_; }
    void setExpanded(bool expanded);
    // "Expanded" or "Collapsed".
    QString accessibleValue() const;

private:
    QString expandedTitle_;
    QString collapsedTitle_;
    bool expanded_ = false;
};

} // namespace quillo
