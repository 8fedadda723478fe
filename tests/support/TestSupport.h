#pragma once

#include "db/Connection.h"
#include "platform/ConnectionSettingsEditor.h"
#include "platform/Platform.h"

#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QVariant>
#include <QVector>

#include <functional>
#include <future>
#include <initializer_list>
#include <thread>

namespace quarvel::test {

// Message boxes that record what was shown and answer from a queue (default: Ok / Yes).
// In strict mode a question (any box with more than an OK button) shown with no answer queued
// fails the running test: every question a test causes must be answered by the test.
class ScriptedMessages final : public MessageBoxes {
public:
    struct Shown {
        QString text;
        QString title;
        MsgIcon icon;
        MsgButtons buttons;
    };
    QVector<Shown> shown;
    QList<MsgAnswer> answers;
    bool strict = false;

    MsgAnswer show(QWidget* parent, const QString& text, const QString& title, MsgIcon icon,
                   MsgButtons buttons) override;
    QString lastText() const { return shown.isEmpty() ? QString() : shown.constLast().text; }
    QStringList texts() const;
};

// A clock that always tells the same time.
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime at) : m_at(std::move(at)) {}
    QDateTime now() const override { return m_at; }

private:
    QDateTime m_at;
};

class RecordingProcess final : public ProcessControl {
public:
    int endCount = 0;
    void endProgram() override { ++endCount; }
};

class RecordingShell final : public Shell {
public:
    QStringList openedFiles;
    QList<QUrl> openedUrls;
    QStringList startedPrograms;
    bool result = true;
    bool openFile(const QString& path) override
    {
        openedFiles << path;
        return result;
    }
    bool openUrl(const QUrl& url) override
    {
        openedUrls << url;
        return result;
    }
    bool startProgram(const QString& program, const QStringList&) override
    {
        startedPrograms << program;
        return result;
    }
};

// File dialogs that answer from a queue ("" = cancelled) and record what was asked.
class ScriptedFileDialogs final : public FileDialogs {
public:
    struct Asked {
        QString title;
        QStringList filters;
        QString startPath;
        bool save;
    };
    QVector<Asked> asked;
    QStringList answers;
    QString openFileName(QWidget*, const QString& title, const QStringList& filters, const QString& start) override
    {
        asked.append({title, filters, start, false});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QVector<OverwriteQuestion> saveQuestions;
    QString saveFileName(QWidget*, const QString& title, const QStringList& filters, const QString& start,
                         OverwriteQuestion question) override
    {
        asked.append({title, filters, start, true});
        saveQuestions.append(question);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

// The connection-settings dialog as a window reaches it: counts how often it was opened and
// answers whether the user saved; `onEdit` stands for what the user did in it.
class RecordingSettingsEditor final : public ConnectionSettingsEditor {
public:
    int opened = 0;
    bool saved = false;
    std::function<void()> onEdit;
    bool edit(QWidget*) override
    {
        ++opened;
        if (onEdit)
            onEdit();
        return saved;
    }
};

class RecordingActivator final : public WindowActivator {
public:
    QStringList titles;
    bool found = false;
    bool activate(const QString& exactTitle) override
    {
        titles << exactTitle;
        return found;
    }
};

class FakeSystemInformation final : public SystemInformation {
public:
    bool available = false;
    int started = 0;
    bool start() override
    {
        if (available)
            ++started;
        return available;
    }
};

// A platform whose services are the test doubles above; the program folder is a temporary one.
class TestPlatform : public Platform {
public:
    TestPlatform();
    ScriptedMessages& msgs() { return *m_msgs; }
    RecordingProcess& proc() { return *m_proc; }
    RecordingShell& shellDouble() { return *m_shell; }
    RecordingActivator& activatorDouble() { return *m_activator; }
    FakeSystemInformation& sysInfoDouble() { return *m_sysInfo; }
    ScriptedFileDialogs& dialogsDouble() { return *m_dialogs; }

private:
    QTemporaryDir m_folder;
    ScriptedMessages* m_msgs;
    RecordingProcess* m_proc;
    RecordingShell* m_shell;
    RecordingActivator* m_activator;
    FakeSystemInformation* m_sysInfo;
    ScriptedFileDialogs* m_dialogs;
};

using Columns = std::initializer_list<QPair<QString, QVariant>>;

// A SQLite database built from the schema in a temporary folder. The settings store is
// redirected into the same folder, so tests never touch the user's own settings.
class TestDatabase {
public:
    enum class Access { Sqlite, Odbc };
    explicit TestDatabase(Access access = Access::Sqlite);
    ~TestDatabase();

    bool isValid() const { return m_valid; }
    QString path() const { return m_path; }
    QString dir() const { return m_dir.path(); }
    // The "Svr" setting that reaches this database (through ODBC with the collation module loaded).
    QString svr() const { return svrFor(m_access); }

    // Writes the four settings so that ConnectDatabase reaches this database.
    void useAsSettings() const;
    // Opens the shared connection on this database: true when it opened.
    bool connectShared() const;
    // The same, with the reason when it could not be opened.
    DbStatus openShared() const;
    // Opens the shared connection on this database through the SQLite ODBC driver (with the
    // collation module loaded), whatever the access it was made for.
    DbStatus openSharedThroughOdbc() const;

    // Fixture writes go through a connection of their own.
    bool exec(const QString& sql, const QVariantList& values = {});
    bool insert(const QString& table, Columns columns);
    QVariant scalar(const QString& sql, const QVariantList& values = {});
    QSqlDatabase fixtureConnection() const;

    // Organisation rows the login and the trees read.
    void addDepartment(const QString& code, const QString& name, const QString& parent = {},
                       const QString& category = QStringLiteral("C1"));
    void addPosition(const QString& code, const QString& name, const QString& dept, const QString& holder = {},
                     const QString& category = QStringLiteral("P1"));
    void addEmployee(const QString& number, const QString& name, const QString& password, bool left = false);
    // A document type; `parent` null for a top-level type.
    void addType(const QString& code, const QString& name, const QVariant& parent, int level,
                 const QVariant& description = {}, bool voided = false);
    void assign(const QString& employee, const QString& position, bool mainPosition, bool ended = false);

private:
    QString svrFor(Access access) const;

    QTemporaryDir m_dir;
    QString m_path;
    QString m_connectionName;
    Access m_access;
    bool m_valid = false;
};

// Another client on the same SQLite file: a connection of its own, in a thread of its own, that
// begins a transaction (`begin`, e.g. "BEGIN IMMEDIATE"), runs `statement`, keeps its lock for
// holdMs milliseconds and commits. The destructor waits for it.
class OtherClient {
public:
    OtherClient(const QString& path, const char* begin, int holdMs, const char* statement);
    ~OtherClient();
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    // Waits until the other client holds its lock; false when it could not take it.
    bool holding();

private:
    std::future<bool> m_holding;
    std::thread m_thread;
};

// The built extension module with the text collation (for "LoadExt=" of the SQLite ODBC driver).
QString textExtensionPath();

// Deterministic random content of the given size.
QByteArray randomBytes(qint64 size, quint32 seed);
// Writes a file whole, replacing it; false when that failed.
bool writeFile(const QString& path, const QByteArray& bytes);
// A file's bytes, empty when it cannot be read.
QByteArray readFile(const QString& path);

// Points the settings store at a folder for the whole test process.
void isolateSettings(const QString& folder);
// Writes the user's settings file as a person would, in a text editor; reads it back
// ("<none>" when there is none).
bool writeSettingsText(const QByteArray& text);
QByteArray settingsText();

}  // namespace quarvel::test
