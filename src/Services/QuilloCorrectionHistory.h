#pragma once

#include "Models/CorrectionModels.h"
#include "Services/CorrectionHistorySink.h"
#include "Support/QuilloBundleInfo.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace quillo {

class SecureStore;
class UserDefaults;

// The user's most recent corrections, on this computer only: one file sealed with AES-256-GCM
// under a 32-byte key that lives only in the secure store, at most `maximumEntries`, newest
// first. Holds no state of its own; every operation reads and rewrites the whole file
// synchronously on the main thread. Failures never reach the caller: reads give an empty list
// and writes change nothing, each with one log line. Changes are announced through
// QuilloCorrectionHistoryNotifier::shared().
class QuilloCorrectionHistory final : public CorrectionHistorySink {
public:
    static constexpr int maximumEntries = 100;
    static constexpr int keyLength = 32;
    static constexpr int nonceLength = 12;
    static constexpr int tagLength = 16;

    inline static const QString enabledKey = QStringLiteral("saveCorrectionHistory");
    inline static const QString legacyKey = QStringLiteral("quilloCorrectionHistory");
    inline static const QString fileName = QStringLiteral("correction-history.encrypted");
    inline static const QString keyAccount = QStringLiteral("correction-history-key");

    // The application's history: the data folder and key service of the information table.
    QuilloCorrectionHistory(SecureStore& secureStore, UserDefaults& defaults,
                            const QuilloInfoDictionary& info = QuilloBundleInfo::main());
    // A history in `directory` whose key is the item (keyService, keyAccount).
    QuilloCorrectionHistory(SecureStore& secureStore, UserDefaults& defaults, QString directory, QString keyService);

    // "<bundle identifier>.local-history".
    static QString keyService(const QuilloInfoDictionary& info = QuilloBundleInfo::main());

    QString directory() const { return directory_; }
    QString filePath() const;

    // The switch; on when nothing is stored.
    bool isEnabled() const;
    // Stores the switch; turning it off wipes the legacy list, the file and the key.
    void setEnabled(bool enabled);

    // The stored entries, newest first, at most maximumEntries.
    std::vector<QuilloCorrectionHistoryEntry> load();

    // Records one correction in front of the list when the switch is on.
    void append(const QString& originalText, const QString& correctedText,
                const std::optional<std::vector<CloudCorrectionModel>>& cloudModels,
                std::optional<CorrectionWritingMode> writingMode) override;

    // Removes the legacy list, the file and the key, whatever the switch.
    void clear();

private:
    bool persist(std::vector<QuilloCorrectionHistoryEntry> entries);
    std::vector<QuilloCorrectionHistoryEntry> migrateLegacyHistory();
    void wipe();
    void deleteEncryptedFile();

    SecureStore& secureStore_;
    UserDefaults& defaults_;
    QString directory_;
    QString keyService_;
};

} // namespace quillo
