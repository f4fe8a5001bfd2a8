#include <utility>

#include "about/About.h"
#include "hosts.h"
#include "text/CodePage.h"

namespace qinvara {
namespace {

using forms::Reply;

constexpr const char* kAboutWindow = "AboutWindow";

// The legal statement is empty in this version; the caption carries the meaning.
constexpr const char* kStatementText = "";

std::string IntroText() {
    return "    "
           "随着谷歌搜索遭受中国大陆封锁，大量网民无法直接访问谷歌，为解决这一问题，Venmoor研发此工"
           "具："
           "Qinvara，它可以让你无缝、轻松使用谷歌搜索引擎。\r\n" +
           std::string(38, ' ') + "2014年11月10日";
}

Text AboutPageUrl() { return Text("http://") + Text(SiteHost) + Text("/cn/cp/qvnr.html?gywm"); }

Reply StatementLabelPressed(forms::FormLayer& layer, const forms::EventArgs&) {
    layer.ShowMessage(FromUtf8(kStatementText), FromUtf8("软件声明"));
    return Reply::Nothing;
}

Reply SiteLinkLabelPressed(forms::FormLayer& layer, const forms::EventArgs&) {
    layer.OpenUrl(AboutPageUrl());
    return Reply::Nothing;
}

Reply AboutWindowWillBeDestroyed(forms::FormLayer& layer, const forms::EventArgs&) {
    layer.SetVisible("MainWindow", true);
    return Reply::Nothing;
}

forms::ControlSpec Label(const char* name, const char* formName, int left, int top, int width,
                         int height, const char* text, forms::Rgb colour, forms::Font font = {}) {
    return {name, formName, left,
            top,  width,    height,
            true, false,    forms::LabelProps{text, colour, std::move(font), forms::Align::Left}};
}

forms::Form MakeAboutWindow() {
    forms::Form form;
    forms::WindowSpec& w = form.window;
    w.name = kAboutWindow;
    w.caption = "关于我们";
    w.width = 359;
    w.height = 230;
    w.border = forms::Border::Fixed;
    w.hasBackgroundColour = true;
    w.backgroundColour = {255, 255, 255};
    w.icon = forms::WindowIcon::BlueG;
    w.startCentred = true;
    w.escCloses = true;
    w.moveByBody = false;
    w.showInTaskbar = false;

    forms::Font nameFont;
    nameFont.pixelHeight = 21;
    nameFont.weight = 400;
    forms::Font songti;
    songti.family = "SimSun, Noto Serif CJK SC, serif";
    songti.points = 9;

    form.controls = {
        Label("SiteLinkLabel", "透明标签4", 88, 171, 56, 16, "软件官网", {0, 0, 255}),
        Label("StatementLabel", "透明标签3", 16, 168, 64, 24, "软件声明", {128, 0, 0}),
        {"IntroBox", "超级编辑框1", 16, 88, 328, 72, true, true,
         forms::RichTextProps{IntroText(), songti}},
        Label("VersionLabel", "透明标签2", 89, 56, 63, 16, "版本：1.0", {0, 0, 0}),
        Label("ProductNameLabel", "透明标签1", 56, 24, 160, 24, "Qinvara", {0, 0, 0}, nameFont),
        {"AboutIconBox", "图片框1", 288, 24, 32, 32, true, false,
         forms::PictureProps{Artwork::BlueG32}},
    };
    form.bindings = {
        {"StatementLabel", forms::Event::LeftMousePressed, &StatementLabelPressed},
        {"SiteLinkLabel", forms::Event::LeftMousePressed, &SiteLinkLabelPressed},
        {"", forms::Event::WillBeDestroyed, &AboutWindowWillBeDestroyed},
    };
    return form;
}

}  // namespace

void OpenAboutWindow(forms::FormLayer& layer) {
    layer.SetVisible("MainWindow", false);
    layer.LoadWindow(AboutWindowForm(), true);
}

Reply AboutLabelPressed(forms::FormLayer& layer, const forms::EventArgs&) {
    OpenAboutWindow(layer);
    return Reply::Nothing;
}

const forms::Form& AboutWindowForm() {
    static const forms::Form form = MakeAboutWindow();
    return form;
}

}  // namespace qinvara
