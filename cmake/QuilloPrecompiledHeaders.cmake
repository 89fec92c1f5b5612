# Precompiled headers: Qt, QCoro, GoogleTest and the server's JSON and HTTP headers make up most
# of what every translation unit parses, and the test command builds everything twice on two
# cores. Each target precompiles the sets it names; a target's own headers stay out of them.
option(QUILLO_PRECOMPILE_HEADERS "Precompile the common library headers of the larger targets" ON)

set(QUILLO_PCH_STD <algorithm> <array> <chrono> <cstdint> <functional> <map> <memory> <optional>
    <string> <utility> <vector>)
set(QUILLO_PCH_CORE ${QUILLO_PCH_STD} <QByteArray> <QDateTime> <QHash> <QJsonArray> <QJsonDocument>
    <QJsonObject> <QList> <QObject> <QPointer> <QString> <QStringList> <QUrl> <QUuid>
    <qcoro/qcorotask.h>)
set(QUILLO_PCH_WIDGETS <QApplication> <QHBoxLayout> <QLabel> <QPainter> <QPushButton> <QVBoxLayout>
    <QWidget>)
set(QUILLO_PCH_GTEST <gtest/gtest.h>)
set(QUILLO_PCH_CLOUD ${QUILLO_PCH_STD} <mutex> <nlohmann/json.hpp>)
set(QUILLO_PCH_HTTP <httplib.h>)

# quillo_precompile(target set...): sets are CORE, WIDGETS, GTEST, CLOUD, HTTP.
function(quillo_precompile target)
  if(NOT QUILLO_PRECOMPILE_HEADERS)
    return()
  endif()
  set(headers)
  foreach(set_name ${ARGN})
    foreach(header ${QUILLO_PCH_${set_name}})
      list(APPEND headers "${header}")
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES headers)
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()
