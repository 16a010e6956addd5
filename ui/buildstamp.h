#pragma once

#include <QString>

// The ten-digit build stamp yyMMddhhmm of this build.
QString compilationTime();

// The stamp for a build time written "yyyy-MM-dd HH:mm"; ten zeros when the
// text is not such a time.
QString compilationTimeFrom(const QString &buildTime);
