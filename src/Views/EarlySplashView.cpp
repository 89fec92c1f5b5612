#include "Views/EarlySplashView.h"

#include "Views/QuilloSymbol.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quillo {

EarlySplashView::EarlySplashView(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->addStretch(1);
    auto* logo = new QLabel(this);
    logo->setPixmap(QuilloSymbols::pixmap(QuilloSymbol::appIcon, QSize(72, 72), {}, devicePixelRatioF()));
    logo->setAlignment(Qt::AlignCenter);
    column->addWidget(logo);
    auto* name = new QLabel(QStringLiteral("Quillo"), this);
    QFont big = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.8);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    column->addWidget(name);
    status_ = new QLabel(phaseText(phase_), this);
    status_->setObjectName(QStringLiteral("splashStatus"));
    status_->setAlignment(Qt::AlignCenter);
    status_->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(status_);
    column->addStretch(1);
}

QString EarlySplashView::phaseText(EarlySplashPhase phase) {
    return phase == EarlySplashPhase::ready ? QStringLiteral("Ready") : QStringLiteral("Preparing…");
}

void EarlySplashView::setPhase(EarlySplashPhase phase) {
    phase_ = phase;
    status_->setText(phaseText(phase));
}

} // namespace quillo
