#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace quillo {

// The trigger command as a line to copy into the desktop's shortcut settings, with what to do
// with it above and a Copy button beside it.
class TriggerCommandField : public QWidget {
    Q_OBJECT
public:
    explicit TriggerCommandField(const QString& command, QWidget* parent = nullptr);

    QString command() const;

private:
    QLineEdit* line_ = nullptr;
    QPushButton* copy_ = nullptr;
};

} // namespace quillo
