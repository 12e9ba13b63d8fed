#include "app/gui/StoredSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace korrgui {

namespace {

constexpr const char* kOrganisation = "Korrin Devices, Inc";
constexpr const char* kApplication = "KorrBSL";

QSettings OpenKey() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
}

}  // namespace

StoredSettings ReadStoredSettings() {
    QSettings key = OpenKey();
    StoredSettings s;
    s.findAllPorts = key.value(QStringLiteral("FindAllComms"), 0).toInt() != 0;
    s.verboseLog = key.value(QStringLiteral("VerboseLog"), 0).toInt() != 0;
    s.commPort = key.value(QStringLiteral("CommPort")).toString().toStdString();
    return s;
}

void WriteStoredSettings(const StoredSettings& settings) {
    QSettings key = OpenKey();
    key.setValue(QStringLiteral("FindAllComms"), settings.findAllPorts ? 1 : 0);
    key.setValue(QStringLiteral("VerboseLog"), settings.verboseLog ? 1 : 0);
    key.setValue(QStringLiteral("CommPort"), QString::fromStdString(settings.commPort));
    key.sync();
}

std::string DataFolder(bool simulated) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QString folder = base + QStringLiteral("/Korrin/KorrBSL");
    if (simulated) folder += QStringLiteral("/simulated");
    if (base.isEmpty() || !QDir().mkpath(folder)) {
        return QCoreApplication::applicationDirPath().toStdString();
    }
    return folder.toStdString();
}

std::string EngineVersion() {
    return KORRBSL_VERSION;
}

}  // namespace korrgui
