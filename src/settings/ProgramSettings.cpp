#include "ProgramSettings.h"

#include "IniFile.h"
#include "ProgramPaths.h"
#include "SettingsKeys.h"

#include <QFileInfo>

namespace SK = SettingsKeys;

namespace {

enum class Type { Text, Integer, Flag };

struct KeyInfo
{
    ProgramSettings::Key key;
    QLatin1String section;
    QLatin1String name;
    Type type;
    QVariant defaultValue;
};

const QList<KeyInfo>& keys()
{
    using K = ProgramSettings::Key;
    const QString error = SK::DefaultText;
    static const QList<KeyInfo> table = {
        {K::App, SK::Tss, SK::App, Type::Text, error},
        {K::Version, SK::Tss, SK::Version, Type::Text, error},
        {K::Home, SK::Tss, SK::Home, Type::Text, error},
        {K::Ver, SK::Tss, SK::Ver, Type::Text, error},
        {K::GenReport, SK::Reports, SK::GenReport, Type::Flag, true},
        {K::HeaderCK, SK::Reports, SK::HeaderCK, Type::Flag, true},
        {K::FooterCk, SK::Reports, SK::FooterCk, Type::Flag, true},
        {K::TitleCk, SK::Reports, SK::TitleCk, Type::Flag, true},
        {K::HeaderPath, SK::Reports, SK::HeaderPath, Type::Text, error},
        {K::FooterPath, SK::Reports, SK::FooterPath, Type::Text, error},
        {K::TitleTxt, SK::Reports, SK::TitleTxt, Type::Text, error},
        {K::Ports, SK::SubOptions, SK::Ports, Type::Integer, SK::DefaultPorts},
        {K::Timeout, SK::SubOptions, SK::Timeout, Type::Integer, SK::DefaultTimeout},
        {K::ProxyHost, SK::Proxy, SK::ProxyHost, Type::Text, QString()},
        {K::ProxyPort, SK::Proxy, SK::ProxyPort, Type::Text, QString()},
        {K::ProxyUserName, SK::Proxy, SK::ProxyUserName, Type::Text, QString()},
        {K::ProxyPassword, SK::Proxy, SK::ProxyPassword, Type::Text, QString()},
        {K::KeyProxy, SK::Proxy, SK::KeyProxy, Type::Flag, false},
        {K::User, SK::Subscription, SK::User, Type::Text, QString()},
        {K::Pass, SK::Subscription, SK::Pass, Type::Text, QString()},
        {K::UpdateServer, SK::Update, SK::Server, Type::Text, QString(SK::DefaultUpdateServer)},
    };
    return table;
}

const KeyInfo& info(ProgramSettings::Key key)
{
    return keys().at(static_cast<int>(key));
}

} // namespace

ProgramSettings::ProgramSettings(const QString& programDir, QObject* parent)
    : QObject(parent), m_path(programPath(programDir, SK::FileName))
{
    for (const KeyInfo& k : keys())
        m_values.insert(k.key, k.defaultValue);
    // An editor or another program that replaces the file is heard as well.
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &ProgramSettings::reload);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!m_watcher.files().contains(m_path) && QFileInfo::exists(m_path))
            reload();
    });
    reload();
}

QString ProgramSettings::section(Key key)
{
    return info(key).section;
}

QString ProgramSettings::name(Key key)
{
    return info(key).name;
}

void ProgramSettings::reload()
{
    IniFile ini(m_path);
    for (const KeyInfo& k : keys()) {
        QVariant value;
        // A value that cannot be read keeps its default, as at start-up.
        try {
            switch (k.type) {
            case Type::Text:
                value = ini.readString(k.section, k.name, k.defaultValue.toString());
                break;
            case Type::Integer:
                value = ini.readInteger(k.section, k.name, k.defaultValue.toInt());
                break;
            case Type::Flag:
                value = ini.readBool(k.section, k.name, k.defaultValue.toBool());
                break;
            }
        } catch (const std::exception&) {
            value = k.defaultValue;
        }
        store(k.key, value);
    }
    m_tooLarge = ini.tooLarge();
    watch();
}

void ProgramSettings::watch()
{
    // A file replaced atomically is a new file: watch it again, and the
    // folder for a file that does not exist yet.
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (QFileInfo::exists(m_path))
        m_watcher.addPath(m_path);
    const QString dir = QFileInfo(m_path).absolutePath();
    if (!m_watcher.directories().contains(dir) && QFileInfo::exists(dir))
        m_watcher.addPath(dir);
}

void ProgramSettings::store(Key key, const QVariant& value)
{
    if (m_values.value(key) == value)
        return;
    m_values.insert(key, value);
    emit changed(key);
}

void ProgramSettings::setText(Key key, const QString& value)
{
    IniFile(m_path).writeString(section(key), name(key), value);
    store(key, value);
}

void ProgramSettings::setInteger(Key key, int value)
{
    IniFile(m_path).writeInteger(section(key), name(key), value);
    store(key, value);
}

void ProgramSettings::setFlag(Key key, bool value)
{
    IniFile(m_path).writeBool(section(key), name(key), value);
    store(key, value);
}

void ProgramSettings::setValues(const QList<QPair<Key, QVariant>>& values)
{
    IniFile ini(m_path);
    ini.beginUpdate();
    for (const auto& [key, value] : values) {
        switch (info(key).type) {
        case Type::Text:
            ini.writeString(section(key), name(key), value.toString());
            break;
        case Type::Integer:
            ini.writeInteger(section(key), name(key), value.toInt());
            break;
        case Type::Flag:
            ini.writeBool(section(key), name(key), value.toBool());
            break;
        }
    }
    ini.endUpdate();
    for (const auto& [key, value] : values) {
        switch (info(key).type) {
        case Type::Text:
            store(key, value.toString());
            break;
        case Type::Integer:
            store(key, value.toInt());
            break;
        case Type::Flag:
            store(key, value.toBool());
            break;
        }
    }
}
