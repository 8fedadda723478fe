#include "login/ConnectionSetup.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quarvel {

namespace {
const QLatin1String kFilePrefix("sqlite:");
}

ConnectionForm ConnectionForm::fromSettings(const ConnectionSettings& settings)
{
    ConnectionForm form;
    if (settings.svr.startsWith(kFilePrefix, Qt::CaseInsensitive)) {
        form.kind = Kind::File;
        form.file = settings.svr.mid(kFilePrefix.size());
        return form;
    }
    form.server = settings.svr;
    form.login = settings.uid;
    form.password = settings.pwd;
    form.database = settings.dbName;
    return form;
}

ConnectionSettings ConnectionForm::toSettings() const
{
    ConnectionSettings s;
    if (kind == Kind::File) {
        s.svr = kFilePrefix + file;
        return s;
    }
    s.svr = server;
    s.uid = login;
    s.pwd = password;
    s.dbName = database;
    return s;
}

QString ConnectionForm::missing() const
{
    if (kind == Kind::File)
        return file.trimmed().isEmpty() ? QStringLiteral("请选择数据库文件。") : QString();
    return server.trimmed().isEmpty() ? QStringLiteral("请填写数据库服务器。") : QString();
}

ConnectionForm ConnectionSetup::current() { return ConnectionForm::fromSettings(ConnectionSettings::fromStore()); }

bool ConnectionSetup::nothingConfigured()
{
    const ConnectionSettings s = ConnectionSettings::fromStore();
    return s.svr.isEmpty() && s.uid.isEmpty() && s.pwd.isEmpty() && s.dbName.isEmpty();
}

ConnectionReport ConnectionSetup::test(const ConnectionForm& form) { return testConnection(form.toSettings()); }

QString ConnectionSetup::testResultText(const ConnectionReport& report)
{
    return report.ok() ? QStringLiteral("连接成功。") : report.failureMessage();
}

DbStatus ConnectionSetup::save(const ConnectionForm& form) { return form.toSettings().toStore(); }

DbStatus ConnectionSetup::createDatabase(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return {DbError::make(-1, QStringLiteral("无法创建文件夹 ") + folder)};
    return createEmptyDatabase(path);
}

QString ConnectionSetup::suggestedDatabasePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(QStringLiteral("quarvel.db"));
}

}  // namespace quarvel
