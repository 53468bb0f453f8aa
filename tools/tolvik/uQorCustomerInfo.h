// The sender details the wizard remembers, in "userinfo.ini" beside the tool, section "User
// information". Every value is enciphered (libsodium secretbox) with a key of the user's own,
// kept in a file only that user may read; a value that cannot be deciphered reads as empty.
#pragma once

#include <QString>

#include <stdexcept>

class ECustomerInfoError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TQorCustomerInfo
{
public:
    // path: the "userinfo.ini" file; keyPath: the user's key (DefaultKeyPath() when empty).
    explicit TQorCustomerInfo(const QString &path, const QString &keyPath = QString());

    // The user's key file in the product's application-data folder.
    static QString DefaultKeyPath();

    // False when the file does not exist; the values are then empty.
    bool Load();
    // Writes all four values, making the user's key first when there is none; raises on failure.
    void Save() const;
    // Removes the stored details.
    bool Forget() const;

    QString CustomerID() const { return m_customerId; }
    void SetCustomerID(const QString &value) { m_customerId = value; }
    QString Owner() const { return m_owner; }
    void SetOwner(const QString &value) { m_owner = value; }
    QString Organization() const { return m_organization; }
    void SetOrganization(const QString &value) { m_organization = value; }
    QString Email() const { return m_email; }
    void SetEmail(const QString &value) { m_email = value; }

private:
    QString m_path;
    QString m_keyPath;
    QString m_customerId;
    QString m_owner;
    QString m_organization;
    QString m_email;
};
