#include "account_links.h"

#include <QList>
#include <QString>

namespace twk::server {

AccountLinks::AccountLinks(SqliteDatabase& db) : db_(db)
{
    db_.exec(R"(CREATE TABLE IF NOT EXISTS account_links (
        user_id TEXT PRIMARY KEY,
        label TEXT NOT NULL,
        linked_at INTEGER NOT NULL))");
}

std::optional<std::string> AccountLinks::label(std::string_view userId)
{
    SqliteDatabase::Statement q(db_, "SELECT label FROM account_links WHERE user_id = ?1");
    q.bind(1, userId);
    if (!q.step()) return std::nullopt;
    return q.textAt(0);
}

void AccountLinks::link(std::string_view userId, std::string_view label, int64_t nowMs)
{
    SqliteDatabase::Statement q(db_, R"(INSERT INTO account_links (user_id, label, linked_at) VALUES (?1, ?2, ?3)
        ON CONFLICT (user_id) DO UPDATE SET label = ?2, linked_at = ?3)");
    q.bind(1, userId).bind(2, label).bind(3, nowMs).step();
}

void AccountLinks::unlink(std::string_view userId)
{
    SqliteDatabase::Statement q(db_, "DELETE FROM account_links WHERE user_id = ?1");
    q.bind(1, userId).step();
}

std::variant<std::string, LabelProblem> checkedLabel(std::string_view typed)
{
    const QByteArray bytes(typed.data(), qsizetype(typed.size()));
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes) return LabelProblem{"the name is not valid UTF-8 text"};
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return LabelProblem{"enter a name or an e-mail address"};
    const auto chars = trimmed.toUcs4();
    if (size_t(chars.size()) > AccountLinks::maxLabelChars)
        return LabelProblem{"the name is longer than " + std::to_string(AccountLinks::maxLabelChars) + " characters"};
    for (const char32_t c : chars) {
        const auto category = QChar::category(c);
        if (category == QChar::Other_Control || category == QChar::Other_Format || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            return LabelProblem{"the name holds control or invisible characters"};
    }
    return trimmed.toStdString();
}

} // namespace twk::server
