// The text a service logs for an error it catches and does not pass to the client.
#pragma once

#include <QString>

#include <exception>

// The message of the exception, or "unknown error" for one that carries none.
QString ErrorMessage(const std::exception_ptr &error);
