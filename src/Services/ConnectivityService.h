#pragma once

#include <QNetworkInformation>
#include <QObject>

namespace quillo {

// Whether this machine is online, following the system's network information backend. Reports
// online until the backend first says otherwise (and for good when no backend can be loaded).
// One shared instance; read and observed on the main thread.
class ConnectivityService final : public QObject {
    Q_OBJECT
public:
    static ConnectivityService& shared();

    bool isOnline() const { return isOnline_; }
    bool isExpensive() const { return isExpensive_; }
    // The desktop's network information has no low-data mode; never set today.
    bool isConstrained() const { return isConstrained_; }

    struct PathState {
        QNetworkInformation::Reachability reachability = QNetworkInformation::Reachability::Unknown;
        bool metered = false;
    };
    // A path update as the backend reports it. Unknown reachability leaves isOnline as it is.
    void apply(const PathState& state);
    static bool isOnline(QNetworkInformation::Reachability reachability, bool previous);

signals:
    void changed();

private:
    explicit ConnectivityService(bool startMonitoring);
    friend class ConnectivityServiceTestAccess;

    bool isOnline_ = true;
    bool isExpensive_ = false;
    bool isConstrained_ = false;
};

// Lets tests make instances that do not monitor anything.
class ConnectivityServiceTestAccess {
public:
    static ConnectivityService* makeUnmonitored() { return new ConnectivityService(false); }
};

} // namespace quillo
