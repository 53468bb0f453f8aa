// What the server-unreachable window says, from the one argument the client host passes:
// "Client" for a client installation, or "Single;" and the address it tried.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct TDiagnoseInfo
{
    static inline const QString Title = QStringLiteral("Quorva Client Diagnose Tool");
    static inline const QString Caption = QStringLiteral("Unable to start Kestrova");
    static inline const QString DesignAddress = QStringLiteral("Unable to connect to the server.");
    static inline const QString DesignAdvice = QStringLiteral(
        "Kestrova was not able to connect to the local server. Please verify that you have the data server Brennic running "
        "before you start Kestrova");
    static inline const QString SingleAdvice = QStringLiteral(
        "Kestrova was not able to connect to the local server.\rPlease verify that you have the data server Brennic running "
        "before you start Kestrova and that your firewall does not block access.\r\rTo learn more, please click on the "
        "link below: it opens the troubleshooting page of the help installed with Kestrova.");
    // The troubleshooting page of the help beside the programs; there is no page of the maker's to go to.
    static inline const QString FaqPage = QStringLiteral("help/InstallFAQ.html");
    // Told when no program opens the page, with its path.
    static inline const QString NotOpenedText =
        QStringLiteral("No program on this computer opens the troubleshooting page.\nIt is %1.");
    // The page in programFolder, as the address the link opens.
    static QString FaqAddress(const QString &programFolder);

    bool ClientInstallation = false;
    QString Address;
    QString Advice;
    // Empty when the window offers no link.
    QString Link;

    // Nothing when there is no argument: the program then ends without a window. Only the
    // first argument counts. programFolder: where the help is installed.
    static std::optional<TDiagnoseInfo> ReadCommandLine(const QStringList &arguments, const QString &programFolder);
};
