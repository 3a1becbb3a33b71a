// SPDX-License-Identifier: MIT
#include "core/form2.h"

#include "core/appinfo.h"
#include "core/boardurl.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/platform.h"
#include "core/windowset.h"

namespace ponpira::core {

namespace {

// The main window's Label5 is empty until a time, the demo or "リセット" is chosen.
class NoGameLengthError : public Error {
  public:
    NoGameLengthError()
        : Error(u"ゲームの時間がまだ選ばれていないため、結果を送信できません。\n"
                u"メニューの「タイム」から時間を選んでゲームをしてから、"
                u"もう一度「送信」を押してください。") {}
};

class UrlTooLongError : public Error {
  public:
    UrlTooLongError()
        : Error(u"入力された内容が長すぎるため、結果を送信できません。\n"
                u"コメントなどを短くしてから、もう一度「送信」を押してください。") {}
};

// Half of a surrogate pair, pasted from a broken source, has no UTF-8 form: the browser would
// send a replacement character or bytes that the board cannot read.
class BrokenTextError : public Error {
  public:
    BrokenTextError()
        : Error(u"入力された内容に送信できない壊れた文字が含まれているため、"
                u"結果を送信できません。\n"
                u"貼り付けた文字などを入力し直してから、"
                u"もう一度「送信」を押してください。") {}
};

// The board would refuse the value; nothing is opened and the window keeps what was typed.
class FieldTooLongError : public Error {
  public:
    explicit FieldTooLongError(const TooLong& field)
        : Error(u"「" + field.label + u"」が長すぎるため、結果を送信できません。\n" +
                fromAscii(std::to_string(field.typedMax)) +
                u"文字以内にしてから、もう一度「送信」を押してください。") {}
};

class ControlCharacterError : public Error {
  public:
    ControlCharacterError()
        : Error(u"入力された内容に送信できない制御文字が含まれているため、"
                u"結果を送信できません。\n"
                u"貼り付けた文字などを入力し直してから、"
                u"もう一度「送信」を押してください。") {}
};

// A board that this machine should run did not come up: the browser would only show that
// the connection was refused.
class NoLocalBoardError : public Error {
  public:
    NoLocalBoardError(LocalBoardState state, const std::u16string& host)
        : Error(prompt(state, host)) {}

  private:
    static std::u16string prompt(LocalBoardState state, const std::u16string& host) {
        switch (state) {
        case LocalBoardState::NotFound:
            return u"掲示板のプログラム（ponpira-board）が見つからないため、"
                   u"結果を送信できません。\n"
                   u"ポンピラを入れ直してから、もう一度「送信」を押してください。";
        case LocalBoardState::NoFolder:
            return u"掲示板の投稿を保存するフォルダー（ホームフォルダーの "
                   u".local/share/ponpira）を作れないため、結果を送信できません。\n"
                   u"ホームフォルダーに書き込めるか確かめてください。";
        case LocalBoardState::Stopped:
            return u"掲示板のプログラム（ponpira-board）が起動してすぐに終了したため、"
                   u"結果を送信できません。\n"
                   u"投稿を保存するファイル（.local/share/ponpira/board.sqlite3）"
                   u"を開けないか、" +
                   host + u" をほかのプログラムが使っています。";
        case LocalBoardState::Absent:
            return host + u" の掲示板が応答しないため、結果を送信できません。\n"
                          u"この PC で掲示板を動かすか、ほかの掲示板を設定ファイル"
                          u"（%APPDATA%\\ponpira\\ponpira.ini の [board] の host=）か"
                          u"環境変数 PONPIRA_BOARD_HOST で指定してから、"
                          u"もう一度「送信」を押してください。";
        case LocalBoardState::Foreign:
            return host + u" ではほかのユーザーのプログラムが待ち受けているため、"
                          u"結果を送信できません。\n"
                          u"送信すると、名前やメールアドレス、削除用パスワードが"
                          u"そのプログラムに渡ってしまいます。";
        default:
            return u"掲示板が起動しないため、結果を送信できません。\n"
                   u"しばらく待ってから、もう一度「送信」を押してください。";
        }
    }
};

class OpenFailedError : public Error {
  public:
    OpenFailedError()
        : Error(u"ブラウザーで掲示板を開けませんでした。\n"
                u"既定のブラウザーが設定されているか確かめてから、"
                u"もう一度「送信」を押してください。") {}
};

} // namespace

Form2::Form2(WindowSet& windows, Platform& platform, const Form2Controls& controls)
    : Label6(controls.Label6), Label7(controls.Label7), Label13(controls.Label13),
      windows_(windows), platform_(platform), window_(controls.window), Text1(controls.Text1),
      Text2(controls.Text2), Text3(controls.Text3), Text4(controls.Text4), Text5(controls.Text5) {}

void Form2::Command1_Click() {
    try {
        limitSeconds = toInt16(windows_.form1Label5Caption());
    } catch (const ConversionError&) {
        throw NoGameLengthError();
    }

    PostCase postCase = PostCase::Normal;
    if (toDouble(Label13.text()) == 1) {
        postCase = PostCase::Demo;
    } else {
        const double clicks = toDouble(Label7.text());
        // The chosen length, not the seconds shown: a result taken mid-game is measured
        // against the whole game.
        const Int16 threshold = limitSeconds * 20;
        if (clicks > threshold.value())
            postCase = PostCase::Trick;
    }

    BoardPost post;
    post.postCase = postCase;
    post.name = Text1.text();
    post.email = Text2.text();
    post.seconds = Label6.text();
    post.clicks = Label7.text();
    post.comment = Text4.text();
    post.homePage = Text3.text();
    post.password = Text5.text();
    // Everything below leaves the window open with what was typed, so the player can mend
    // the entry or try again.
    for (const std::u16string* text :
         {&post.name, &post.email, &post.comment, &post.homePage, &post.password}) {
        if (!isValidUtf16(*text))
            throw BrokenTextError();
        if (hasUnsendableCharacter(*text))
            throw ControlCharacterError();
    }
    if (const std::optional<TooLong> field = tooLongField(post))
        throw FieldTooLongError(*field);

    const BoardHostChoice board = chooseBoardHost(platform_.boardHostSetting());
    if (!board.rejected.empty())
        platform_.messageBox(window_.handle(),
                             board.source + u" の掲示板の指定「" + board.rejected +
                                 u"」は正しくないため、既定の掲示板（" + board.host +
                                 u"）に送信します。",
                             AppInfo::Title());
    const std::u16string url = boardUrl(board.host, post);
    if (encodedUrlBytes(url) > maxUrlBytes)
        throw UrlTooLongError();
    if (const std::optional<LocalBoard> local = localBoard(board.host)) {
        const LocalBoardState state = platform_.ensureLocalBoard(local->address, local->port);
        if (state != LocalBoardState::Answering)
            throw NoLocalBoardError(state, board.host);
    }
    if (!platform_.openUrl(window_.handle(), url))
        throw OpenFailedError();

    window_.hide();
}

void Form2::Command2_Click() {
    window_.hide();
}

} // namespace ponpira::core
