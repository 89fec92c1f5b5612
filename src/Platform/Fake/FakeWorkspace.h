#pragma once

#include "Platform/Workspace.h"

#include <QHash>
#include <QList>
#include <QSet>

namespace quillo {

class FakeWorkspace final : public Workspace {
    Q_OBJECT
public:
    static constexpr qint32 ownProcessIdentifier = 100;

    using Workspace::Workspace;

    std::optional<RunningApplication> frontmostApplication() const override {
        if (!frontmost_) return std::nullopt;
        auto it = applications_.find(*frontmost_);
        if (it == applications_.end()) return std::nullopt;
        return *it;
    }
    bool isTerminated(qint32 pid) const override { return terminated_.contains(pid) || !applications_.contains(pid); }
    qint32 currentProcessIdentifier() const override { return ownProcessIdentifier; }
    bool openUrl(const QUrl& url) override {
        openedUrls.append(url);
        return true;
    }

    ApplicationDescription describe(const RunningApplication& application) const override {
        ApplicationDescription description = Workspace::describe(application);
        const auto extra = descriptions_.constFind(application.processIdentifier);
        if (extra != descriptions_.constEnd()) {
            description.identifiers += extra->identifiers;
            description.categories += extra->categories;
        }
        return description;
    }
    // Further names and desktop-entry categories of an application.
    void setDescription(qint32 pid, const ApplicationDescription& description) {
        descriptions_.insert(pid, description);
    }

    void addApplication(const RunningApplication& application) {
        applications_.insert(application.processIdentifier, application);
    }
    // Brings an application to the front and announces it.
    void activate(qint32 pid) {
        frontmost_ = pid;
        if (auto app = frontmostApplication()) emit applicationActivated(*app);
    }
    void deactivateAll() { frontmost_.reset(); }
    void terminate(qint32 pid) {
        terminated_.insert(pid);
        if (frontmost_ == pid) frontmost_.reset();
    }

    QList<QUrl> openedUrls;

private:
    QHash<qint32, RunningApplication> applications_;
    QHash<qint32, ApplicationDescription> descriptions_;
    QSet<qint32> terminated_;
    std::optional<qint32> frontmost_;
};

} // namespace quillo
