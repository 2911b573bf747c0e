#include "diagnosis/report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

namespace farlight {

using namespace Qt::StringLiterals;

namespace {

const QString Indent = u"    "_s;

QString Indented(const QString &text, const QString &indent)
{
    return indent + QString(text).replace(u'\n', u'\n' + indent);
}

} // namespace

QString VerdictName(Finding::Verdict verdict)
{
    switch (verdict) {
    case Finding::Verdict::Ok:
        return u"ok"_s;
    case Finding::Verdict::Warning:
        return u"warning"_s;
    case Finding::Verdict::Problem:
        return u"problem"_s;
    case Finding::Verdict::NotRun:
        return u"not run"_s;
    }
    return {};
}

bool HasProblem(const QList<Finding> &findings)
{
    return std::any_of(findings.cbegin(), findings.cend(),
                       [](const Finding &f) { return f.verdict == Finding::Verdict::Problem; });
}

QString MostLikelyCause(const QList<Finding> &findings)
{
    // Causes of an empty search, the most fundamental first; a symptom (no answer) is no cause.
    using V = Finding::Verdict;
    const std::pair<V, QLatin1StringView> order[] = {
        {V::Problem, CheckName::Adapters},       {V::Problem, CheckName::FirewallSearch},
        {V::Problem, CheckName::ReversePath},    {V::Problem, CheckName::Search},
        {V::Warning, CheckName::Adapters},       {V::Warning, CheckName::FirewallSearch},
        {V::Warning, CheckName::ReversePath},    {V::NotRun, CheckName::Firewall},
    };
    for (const auto &[verdict, check] : order) {
        for (const Finding &finding : findings) {
            if (finding.verdict == verdict && finding.check == check)
                return finding.summary;
        }
    }
    return u"Nothing on this computer stops the devices' answers: check that they are switched on and "
           "connected to this computer's network."_s;
}

QString FormatReport(const QList<Finding> &findings)
{
    const auto count = [&](Finding::Verdict verdict) {
        return std::count_if(findings.cbegin(), findings.cend(), [&](const Finding &f) { return f.verdict == verdict; });
    };
    QString report = u"Farlight network diagnosis: %1 problem(s), %2 warning(s), %3 check(s) not run\n"_s
                         .arg(count(Finding::Verdict::Problem))
                         .arg(count(Finding::Verdict::Warning))
                         .arg(count(Finding::Verdict::NotRun));
    for (const Finding &finding : findings) {
        report += u"\n[%1] %2%3: %4\n"_s.arg(VerdictName(finding.verdict), finding.check,
                                             finding.adapter.isEmpty() ? QString() : u" (%1)"_s.arg(finding.adapter),
                                             finding.summary);
        if (!finding.meaning.isEmpty())
            report += Indented(finding.meaning, Indent) + u'\n';
        if (!finding.fix.isEmpty())
            report += Indent + u"Fix, as root:\n"_s + Indented(finding.fix, Indent + Indent) + u'\n';
    }
    return report;
}

QByteArray FormatReportJson(const QList<Finding> &findings)
{
    QJsonArray list;
    for (const Finding &finding : findings) {
        list.append(QJsonObject{{u"check"_s, finding.check},
                                {u"adapter"_s, finding.adapter},
                                {u"verdict"_s, VerdictName(finding.verdict)},
                                {u"summary"_s, finding.summary},
                                {u"meaning"_s, finding.meaning},
                                {u"fix"_s, finding.fix}});
    }
    const auto problems = std::count_if(findings.cbegin(), findings.cend(),
                                        [](const Finding &f) { return f.verdict == Finding::Verdict::Problem; });
    return QJsonDocument(QJsonObject{{u"problems"_s, qint64(problems)}, {u"findings"_s, list}}).toJson();
}

} // namespace farlight
