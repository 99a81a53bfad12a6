#pragma once

#include <QLatin1String>

// Sections and keys of dfd.ini, spelled exactly as the file stores them.
namespace SettingsKeys {

inline constexpr QLatin1String FileName("dfd.ini");

inline constexpr QLatin1String Tss("tss");
inline constexpr QLatin1String App("app");
inline constexpr QLatin1String Version("version");
inline constexpr QLatin1String Home("home");
inline constexpr QLatin1String Ver("ver");

inline constexpr QLatin1String Reports("Reports");
inline constexpr QLatin1String GenReport("GenReport");
inline constexpr QLatin1String HeaderCK("HeaderCK");
inline constexpr QLatin1String FooterCk("FooterCk");
inline constexpr QLatin1String TitleCk("TitleCk");
inline constexpr QLatin1String HeaderPath("HeaderPath");
inline constexpr QLatin1String FooterPath("FooterPath");
inline constexpr QLatin1String TitleTxt("TitleTxt");

inline constexpr QLatin1String SubOptions("SubOptions");
inline constexpr QLatin1String Ports("Ports");
inline constexpr QLatin1String Timeout("Timeout");

inline constexpr QLatin1String Proxy("Proxy");
inline constexpr QLatin1String ProxyHost("ProxyHost");
inline constexpr QLatin1String ProxyPort("ProxyPort");
inline constexpr QLatin1String ProxyUserName("ProxyUserName");
inline constexpr QLatin1String ProxyPassword("ProxyPassword");
inline constexpr QLatin1String KeyProxy("KeyProxy");

inline constexpr QLatin1String Subscription("subscription");
inline constexpr QLatin1String User("user");
inline constexpr QLatin1String Pass("pass");

// The update service's base address (http or https).
inline constexpr QLatin1String Update("Update");
inline constexpr QLatin1String Server("Server");
// Without a Server key the updater asks the local sandbox.
inline constexpr QLatin1String DefaultUpdateServer("http://127.0.0.1:8088");

inline constexpr QLatin1String DefaultText("error");
inline constexpr int DefaultPorts = 10;
inline constexpr int DefaultTimeout = 40;

} // namespace SettingsKeys
