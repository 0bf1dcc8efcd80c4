// A value or the message that explains why there is none. The tools report
// every failure this way, so each caller decides how to tell the user.
#ifndef ORDELIN_TOOLS_RESULT_H
#define ORDELIN_TOOLS_RESULT_H

#include <QtCore/QString>

#include <optional>
#include <utility>

namespace tools {

template <class T>
class Result {
public:
    Result(T value) : stored(std::move(value)) {}
    static Result failure(QString message) { return Result(FailureTag{}, std::move(message)); }

    bool ok() const { return stored.has_value(); }
    const T &value() const { return *stored; }
    T &value() { return *stored; }
    const QString &error() const { return message; }

private:
    struct FailureTag {};
    Result(FailureTag, QString text) : message(std::move(text)) {}
    std::optional<T> stored;
    QString message;
};

} // namespace tools

#endif
