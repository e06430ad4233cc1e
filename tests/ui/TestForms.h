#pragma once

// Windows for tests: a site address of the test's choosing and a settings file of their own,
// never the one beside the test executable.

#include "DialUpUnit.h"

#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <string>

inline QString TestSettingsPath() {
    static QTemporaryDir folder;
    static int count = 0;
    return folder.filePath(QStringLiteral("dialup-%1.ini").arg(++count));
}

inline TDialUpFrm::TOptions TestOptions(const QUrl& Site,
                                        const QString& SettingsPath = TestSettingsPath()) {
    return TDialUpFrm::TOptions{Site, SettingsPath.toStdString()};
}
