#pragma once

#include "diagnosis/finding.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace farlight {

/// @brief "ok", "warning", "problem" or "not run".
QString VerdictName(Finding::Verdict verdict);

/// @brief True when some finding is a Problem.
bool HasProblem(const QList<Finding> &findings);

/// @brief The one line to show under an empty device list: the summary of the finding that
/// best explains why a search found nothing, or a line saying that nothing here explains it.
QString MostLikelyCause(const QList<Finding> &findings);

/// @brief The whole report as plain text, one block per finding, for a terminal or the clipboard.
QString FormatReport(const QList<Finding> &findings);

/// @brief The report as a JSON document: {"problems": N, "findings": [{check, adapter, verdict,
/// summary, meaning, fix}]}.
QByteArray FormatReportJson(const QList<Finding> &findings);

} // namespace farlight
