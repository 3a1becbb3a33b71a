// SPDX-License-Identifier: MIT
// The board URL: whatever the player types, the browser's request holds the eight keys in the
// board's order, and the board reads every entry back as typed (or refuses all for a control).
#include "core/boardurl.h"
#include "board/form.h"
#include "fuzz/fuzz.h"

#include <QUrl>
#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using ponpira::PostCase;
    FuzzedDataProvider in(data, size);
    ponpira::BoardPost post;
    post.postCase = in.PickValueInArray({PostCase::Demo, PostCase::Trick, PostCase::Normal});
    const QString seconds = QString::number(in.ConsumeIntegral<std::int16_t>());
    const QString clicks = QString::number(in.ConsumeIntegral<std::int16_t>());
    post.seconds = seconds.toStdU16String();
    post.clicks = clicks.toStdU16String();
    QString typed[5];
    std::u16string* const fields[] = {&post.name, &post.email, &post.comment, &post.homePage,
                                      &post.password};
    bool sendable = true, control = false;
    for (int i = 0; i < 5; ++i) {
        QString* const text = &typed[i];
        // UTF-16 units straight from the input: a quarter of them ASCII, where every character
        // that could end a value or start a key lives; lone surrogate halves come up too.
        for (int n = in.ConsumeIntegralInRange(0, 40); n > 0 && in.remaining_bytes() >= 2; --n) {
            const auto unit = in.ConsumeIntegral<std::uint16_t>();
            text->append(QChar(unit < 0x4000 ? unit & 0x7F : unit));
        }
        sendable = sendable && text->isValidUtf16();
        control = control || hasControl(*text);
        *fields[i] = text->toStdU16String();
    }
    const std::u16string url16 = ponpira::boardUrl(u"127.0.0.1:8931", post);
    const QString url = QString::fromStdU16String(url16);

    // What the program hands to the browser, already in the form that goes on the wire.
    const QByteArray sent = QUrl(url, QUrl::TolerantMode).toEncoded();
    const std::string_view query(sent.constData() + sent.indexOf('?') + 1);
    std::size_t start = 0;
    for (const std::string_view key :
         {"mode=", "name=", "email=", "sub=", "comment=", "url=", "pwd=", "cook="}) {
        CHECK(query.substr(start, key.size()) == key);
        start = std::min(query.find('&', start), query.size() - 1) + 1;
    }
    CHECK(query.starts_with("mode=regist&") && query.ends_with("&cook=on"));
    CHECK(sent.contains("/demoaska.cgi?") == (post.postCase == PostCase::Demo));
    if (!sendable) // text with a lone surrogate has no UTF-8 form: the result window refuses it
        return 0;
    CHECK(ponpira::encodedUrlBytes(url16) == std::size_t(sent.size()));
    const board::Form form = board::parseForm(query);
    CHECK(form.error == (control ? board::FormError::ControlChar : board::FormError::None));
    if (control)
        return 0;
    CHECK(form.fields.size() == 8 && form.get("sub") == "結果");
    const QString said =
        QStringLiteral("私は%1%2秒で%3回クリックできました。")
            .arg(post.postCase == PostCase::Trick ? QStringLiteral("裏技を使って") : QString(),
                 seconds, clicks);
    const char* keys[] = {"name", "email", "comment", "url", "pwd"};
    for (int i = 0; i < 5; ++i)
        CHECK(form.get(keys[i]) == ((i == 2 ? said : QString()) + typed[i]).toStdString());
    return 0;
}
