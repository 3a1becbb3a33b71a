// The board URL on its way to the board. Whatever the player types, the request that the
// browser makes holds the eight keys in the board's order, and the board reads every entry
// back exactly as it was typed (or refuses it as a whole for a control character).
#include "submit/boardurl.h"
#include "board/form.h"

#include <QUrl>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

// UTF-16 units straight from the input: a quarter of them ASCII, where every character that
// could end a value or start a key lives; lone surrogate halves come up too.
QString entry(FuzzedDataProvider& in) {
    QString text;
    for (int n = in.ConsumeIntegralInRange(0, 40); n > 0 && in.remaining_bytes() >= 2; --n) {
        const auto unit = in.ConsumeIntegral<std::uint16_t>();
        text.append(QChar(unit < 0x4000 ? unit & 0x7F : unit));
    }
    return text;
}

// The characters the board refuses to store.
bool hasControl(const QString& text) {
    for (const QChar ch : text)
        if (const char16_t c = ch.unicode();
            (c < u' ' && c != u'\t' && c != u'\n' && c != u'\r') || (c >= 0x7F && c <= 0x9F))
            return true;
    return false;
}

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using ponpira::PostCase;
    FuzzedDataProvider in(data, size);
    ponpira::BoardPost post;
    post.postCase = in.PickValueInArray({PostCase::Demo, PostCase::Trick, PostCase::Normal});
    post.seconds = QString::number(in.ConsumeIntegral<std::int16_t>());
    post.clicks = QString::number(in.ConsumeIntegral<std::int16_t>());
    for (QString* text : {&post.name, &post.email, &post.comment, &post.homePage, &post.password})
        *text = entry(in);
    const QString url = ponpira::boardUrl(QStringLiteral("127.0.0.1:8931"), post);

    // What the program hands to the browser, already in the form that goes on the wire.
    const QByteArray sent = QUrl(url, QUrl::TolerantMode).toEncoded();
    const std::string_view query(sent.constData() + sent.indexOf('?') + 1);
    const std::string_view keys[] = {
        "mode=", "name=", "email=", "sub=", "comment=", "url=", "pwd=", "cook="};
    std::size_t start = 0;
    for (const std::string_view key : keys) {
        check(query.substr(start, key.size()) == key);
        start = std::min(query.find('&', start), query.size() - 1) + 1;
    }
    check(query.starts_with("mode=regist&") && query.ends_with("&cook=on"));
    check(sent.contains("/demoaska.cgi?") == (post.postCase == PostCase::Demo));

    bool sendable = true, control = false;
    for (const QString* text :
         {&post.name, &post.email, &post.comment, &post.homePage, &post.password}) {
        sendable = sendable && text->isValidUtf16();
        control = control || hasControl(*text);
    }
    // Text with a lone surrogate has no UTF-8 form; the result window refuses to send it.
    if (!sendable)
        return 0;
    check(ponpira::encodedUrlBytes(url) == sent.size());
    const board::Form form = board::parseForm(query);
    if (control) {
        check(form.error == board::FormError::ControlChar);
        return 0;
    }
    check(form.error == board::FormError::None && form.fields.size() == 8);
    const QString sentence = (post.postCase == PostCase::Trick ? QStringLiteral("私は裏技を使って")
                                                               : QStringLiteral("私は")) +
                             post.seconds + QStringLiteral("秒で") + post.clicks +
                             QStringLiteral("回クリックできました。");
    check(form.get("name") == post.name.toStdString());
    check(form.get("email") == post.email.toStdString());
    check(form.get("sub") == "結果");
    check(form.get("comment") == (sentence + post.comment).toStdString());
    check(form.get("url") == post.homePage.toStdString());
    check(form.get("pwd") == post.password.toStdString());
    return 0;
}
