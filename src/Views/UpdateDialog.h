#pragma once

#include "Services/UpdateFramework.h"
#include "Support/UpdateFeed.h"

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTextBrowser;

namespace quillo {

// The small "Software Update" window of one update session. It shows one page at a time and
// only reports what the user did; the user driver decides what follows.
class UpdateDialog : public QWidget {
    Q_OBJECT
public:
    enum class Page { checking, found, notFound, error, downloading, installerOpened };

    // `installedVersion` is the version text of the running application.
    explicit UpdateDialog(QString installedVersion, QWidget* parent = nullptr);

    void showChecking();
    void showFound(const UpdateFeedItem& item, UpdateStage stage);
    void showNotFound();
    void showError(const QString& message);
    void showDownloading(const UpdateFeedItem& item);
    void showInstallerOpened(const UpdateFeedItem& item, const QString& packagePath);

    Page page() const { return page_; }
    QString title() const;
    QString message() const;

    // Closes without reporting anything (the session already ended).
    void closeQuietly();

signals:
    void cancelRequested();
    void choiceMade(quillo::UpdateUserChoice choice);
    void acknowledged();
    void releasePageRequested(const QUrl& url);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setPage(Page page, const QString& title, const QString& message);
    void report(const std::function<void()>& emitSignal);

    QString installedVersion_;
    Page page_ = Page::checking;
    bool quiet_ = false;
    QUrl releasePage_;
    QLabel* title_;
    QLabel* message_;
    QProgressBar* progress_;
    QTextBrowser* notes_;
    QPushButton* skip_;
    QPushButton* later_;
    QPushButton* releasePageButton_;
    QPushButton* primary_;
    QPushButton* cancel_;
};

} // namespace quillo
