#pragma once

#include "Views/QuilloSettingsTab.h"
#include "Views/SettingsDependencies.h"

#include <QWidget>
#include <optional>

class QLabel;
class QScrollArea;
class QTabWidget;

namespace quillo {

class CorrectionHistoryView;
class SettingsAboutPage;
class SettingsGeneralPage;
class TriggerKeyDetection;

// "Quillo Settings": the General, History and About tabs. Every control is bound to a
// user-defaults key or to a long-lived service; the window holds no correction logic. The
// application makes one when asked and lets it go when it closes.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    using Dependencies = SettingsDependencies;

    static inline const QString windowTitleText = QStringLiteral("Quillo Settings");
    static constexpr int defaultWidth = 620;
    static constexpr int defaultHeight = 560;
    static constexpr int minimumWidth = 520;
    static constexpr int minimumHeight = 480;

    explicit SettingsWindow(Dependencies dependencies, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // Trigger detection ("Detect key" / "Cancel").
    void startTriggerCapture();
    void stopTriggerCapture(bool keepMessage);
    bool isDetectingTrigger() const;
    const std::optional<QString>& triggerMessage() const;
    TriggerKeyDetection& triggerDetection() const { return *detection_; }

    QString triggerHelpText() const;
    QString balanceText() const;

    QuilloSettingsTab selectedTab() const;
    // Selects General, shows the credit packs and brings them into view.
    void showCreditPacks();

    SettingsGeneralPage* generalPage() const { return general_; }
    CorrectionHistoryView* historyView() const { return history_; }
    SettingsAboutPage* aboutPage() const { return about_; }
    QScrollArea* generalScrollArea() const { return generalScroll_; }

signals:
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void windowDidOpen();
    void selectTab(QuilloSettingsTab tab);
    void refreshUpdateBanner();
    void scrollToCreditPacks();

    Dependencies deps_;
    TriggerKeyDetection* detection_ = nullptr;
    QWidget* updateBanner_ = nullptr;
    QLabel* updateBannerText_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QScrollArea* generalScroll_ = nullptr;
    SettingsGeneralPage* general_ = nullptr;
    CorrectionHistoryView* history_ = nullptr;
    SettingsAboutPage* about_ = nullptr;
    bool opened_ = false;
    bool pendingCreditPacksReveal_ = false;
};

} // namespace quillo
