// SPDX-License-Identifier: MIT
#include "pdf_text.h"

#include <QDebug>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

std::optional<QString> run(const QString &program, const QStringList &args)
{
    QProcess tool;
    tool.start(program, args);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0) {
        qWarning() << program << args << tool.errorString() << tool.readAllStandardError();
        return std::nullopt;
    }
    return QString::fromUtf8(tool.readAllStandardOutput());
}

} // namespace

QString pdfToolsMissing()
{
    for (const char *tool : {"pdftotext", "pdfinfo"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QStringLiteral("%1 is not installed (Debian: poppler-utils)")
                .arg(QLatin1String(tool));
    }
    return {};
}

std::optional<QString> pdfText(const QString &path)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                             QStringLiteral("UTF-8"), path, QStringLiteral("-")});
}

QStringList pdfInfo(const QString &path)
{
    const std::optional<QString> info = run(QStringLiteral("pdfinfo"), {path});
    if (!info)
        return {};
    return info->split(u'\n').filter(QRegularExpression(QStringLiteral("^(Page size|Pages):")));
}

QList<PdfWord> pdfWords(const QString &path)
{
    static const QRegularExpression word(R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" )re"
                                         R"re(xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>)re");
    const std::optional<QString> html = run(QStringLiteral("pdftotext"), {"-bbox", path, "-"});
    QList<PdfWord> words;
    for (const QRegularExpressionMatch &m : word.globalMatch(html.value_or(QString())))
        words.append(
            {m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                   QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    return words;
}
