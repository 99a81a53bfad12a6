#pragma once

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>

// The one object over dfd.ini: every key with its type and default, read
// again when the file changes on disk, and changed(key) for each value that
// differs from the one held. Writes go to the file at once, key by key.
class ProgramSettings : public QObject
{
    Q_OBJECT

public:
    enum class Key {
        App, Version, Home, Ver,
        GenReport, HeaderCK, FooterCk, TitleCk, HeaderPath, FooterPath, TitleTxt,
        Ports, Timeout,
        ProxyHost, ProxyPort, ProxyUserName, ProxyPassword, KeyProxy,
        User, Pass,
        UpdateServer,
    };
    Q_ENUM(Key)

    explicit ProgramSettings(const QString& programDir, QObject* parent = nullptr);

    QString path() const { return m_path; }
    // Whether the file was over its size limit at the last read (defaults apply).
    bool tooLarge() const { return m_tooLarge; }

    QString text(Key key) const { return m_values.value(key).toString(); }
    int integer(Key key) const { return m_values.value(key).toInt(); }
    bool flag(Key key) const { return m_values.value(key).toBool(); }

    // Writes one key to the file now; raises IniWriteError when it cannot.
    void setText(Key key, const QString& value);
    void setInteger(Key key, int value);
    void setFlag(Key key, bool value);
    // Writes several keys as one replacement of the file, in the order
    // given; raises IniWriteError when it cannot (nothing is held then).
    void setValues(const QList<QPair<Key, QVariant>>& values);

    static QString section(Key key);
    static QString name(Key key);

public slots:
    // Reads every key afresh; emits changed() for each that differs.
    void reload();

signals:
    void changed(ProgramSettings::Key key);

private:
    void store(Key key, const QVariant& value);
    void watch();

    QString m_path;
    QHash<Key, QVariant> m_values;
    bool m_tooLarge = false;
    QFileSystemWatcher m_watcher;
};
