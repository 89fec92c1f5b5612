#pragma once

#include <QWidget>

class QLabel;

namespace quillo {

enum class EarlySplashPhase { preparing, ready };

// The splash content: the mark, the name and what start-up is doing.
class EarlySplashView : public QWidget {
    Q_OBJECT
public:
    explicit EarlySplashView(QWidget* parent = nullptr);
    void setPhase(EarlySplashPhase phase);
    EarlySplashPhase phase() const { return phase_; }
    static QString phaseText(EarlySplashPhase phase);

private:
    EarlySplashPhase phase_ = EarlySplashPhase::preparing;
    QLabel* status_ = nullptr;
};

} // namespace quillo
