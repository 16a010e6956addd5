// SPDX-License-Identifier: GPL-3.0-only
#pragma once

#include <QString>

// The ten-digit stamp yyMMddhhmm of the last commit this build was made from.
QString compilationTime();

// What About and --version show: compilationTime(), followed by "+changes"
// when the tree had changes that were not committed.
QString buildStamp();

// The stamp for a build time written "yyyy-MM-dd HH:mm"; ten zeros when the
// text is not such a time.
QString compilationTimeFrom(const QString &buildTime);
