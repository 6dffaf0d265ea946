#include "listing/CommandGuard.h"

#include <utility>

namespace pelandor {

CommandGuard::Token::Token(CommandGuard *guard)
    : m_guard(guard)
{
    ++m_guard->m_holds;
}

CommandGuard::Token::Token(Token &&other) noexcept
    : m_guard(std::exchange(other.m_guard, nullptr))
{
}

CommandGuard::Token &CommandGuard::Token::operator=(Token &&other) noexcept
{
    if (this != &other) {
        release();
        m_guard = std::exchange(other.m_guard, nullptr);
    }
    return *this;
}

CommandGuard::Token::~Token()
{
    release();
}

void CommandGuard::Token::release()
{
    if (CommandGuard *guard = std::exchange(m_guard, nullptr)) {
        if (--guard->m_holds == 0)
            emit guard->released();
    }
}

CommandGuard::CommandGuard(QObject *parent)
    : QObject(parent)
{
}

CommandGuard::Token CommandGuard::hold()
{
    return Token(this);
}

std::optional<CommandGuard::Token> CommandGuard::holdIfIdle()
{
    if (busy())
        return std::nullopt;
    return Token(this);
}

} // namespace pelandor
