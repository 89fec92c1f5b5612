#pragma once

#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillo {

// A line for the desktop's own configuration that keeps the trigger bound (sway's config), with
// what to do with it.
struct DesktopBindingLine {
    QString instruction;
    QString line;
    bool operator==(const DesktopBindingLine&) const = default;
};

// The trigger command as a line to copy into the desktop's shortcut settings, with what to do
// with it above and a Copy button beside it.
class TriggerCommandField : public QWidget {
    Q_OBJECT
public:
    explicit TriggerCommandField(const QString& command, QWidget* parent = nullptr);

    QString command() const;
    // Shows the desktop's configuration line below the command; none hides it.
    void setDesktopBinding(const std::optional<DesktopBindingLine>& binding);

private:
    QLineEdit* line_ = nullptr;
    QPushButton* copy_ = nullptr;
    QLabel* bindingInstruction_ = nullptr;
    QLineEdit* bindingLine_ = nullptr;
};

} // namespace quillo
