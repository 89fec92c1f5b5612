#include "Views/WelcomeWindow.h"

#include "Views/QuilloSymbol.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillo {

WelcomeWindow::WelcomeWindow(bool canCancel, QWidget* parent) : QWidget(parent), canCancel_(canCancel) {
    setWindowTitle(QStringLiteral("Welcome to Quillo"));
    setWindowIcon(QuilloSymbols::icon(QuilloSymbol::appIcon));
    resize(width, height);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(48, 40, 48, 32);
    column->addStretch(1);
    auto* logo = new QLabel(this);
    logo->setPixmap(QuilloSymbols::pixmap(QuilloSymbol::appIcon, QSize(96, 96), {}, devicePixelRatioF()));
    logo->setAlignment(Qt::AlignCenter);
    column->addWidget(logo);
    auto* title = new QLabel(QStringLiteral("Welcome to Quillo"), this);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 2.0);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);
    auto* text = new QLabel(QStringLiteral("Press your trigger key in any text field and Quillo corrects its spelling, "
                                           "grammar and punctuation in place."),
                            this);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    column->addWidget(text);
    column->addStretch(1);
    auto* start = new QPushButton(QStringLiteral("Get Started"), this);
    start->setObjectName(QStringLiteral("getStarted"));
    start->setDefault(true);
    connect(start, &QPushButton::clicked, this, [this] {
        finishing_ = true;
        emit finished();
    });
    column->addWidget(start, 0, Qt::AlignCenter);
}

void WelcomeWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!finishing_) emit closedByUser();
}

} // namespace quillo
