// SPDX-License-Identifier: MIT
#include "records/session_identity.h"

#include <QCoreApplication>
#include <QSysInfo>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>
#endif

RunRecord::Identity sessionIdentity()
{
    RunRecord::Identity who;
    who.console = QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(),
                                              QCoreApplication::applicationVersion());
    who.computer = QSysInfo::machineHostName();
#ifdef Q_OS_WIN
    who.account = qEnvironmentVariable("USERNAME");
#else
    // The account the process runs as, not whoever opened the terminal.
    if (const passwd *pw = ::getpwuid(::geteuid())) {
        who.account = QString::fromLocal8Bit(pw->pw_name);
        // The full name is the first comma-separated part of the comment field.
        const QString fullName = QString::fromLocal8Bit(pw->pw_gecos).section(u',', 0, 0).trimmed();
        if (!fullName.isEmpty() && fullName != who.account)
            who.account += QStringLiteral(" (%1)").arg(fullName);
    }
#endif
    return who;
}
