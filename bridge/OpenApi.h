// The API as an OpenAPI 3 document, made from the routes and the rows of the
// table of operations they run.
#pragma once

#include <QJsonObject>

namespace qvc::bridge {

QJsonObject OpenApiDocument();

} // namespace qvc::bridge
