#pragma once
// What the client saw of one correction call.
#include "Models/CorrectionModels.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillo::soak {

struct SoakCall {
    int worker = 0;
    bool lowAccount = false;
    QString accountEmail;
    int textIndex = 0;
    qsizetype units = 0;
    CloudCorrectionModel model = CloudCorrectionModel::fast;
    CorrectionWritingMode style = CorrectionWritingMode::proofread;
    std::optional<QString> correctionId; // as the client sent it
    bool succeeded = false;
    QString failure;             // the kind, for a failed call ("insufficient_credits", "http_503", ...)
    QByteArray correctionDigest; // SHA-256 of the corrected text, to compare answers cheaply
    std::optional<double> chargedCredits, balanceCredits;
    std::optional<CloudCorrectionModel> billedModel;
    double seconds = 0;
};

} // namespace quillo::soak
