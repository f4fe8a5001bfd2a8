#include "search/Search.h"

#include "forms/KeyCodes.h"
#include "search/RemoveAllSpaces.h"
#include "search/SearchAddresses.h"
#include "text/CodePage.h"

namespace qinvara {
namespace {

constexpr const char* kMainWindow = "MainWindow";

forms::ControlRef SearchBox(forms::FormLayer& layer) {
    return layer.Control(kMainWindow, "SearchBox");
}
forms::ControlRef ResultView(forms::FormLayer& layer) {
    return layer.Control(kMainWindow, "ResultView");
}
forms::ControlRef HomeWatchTimer(forms::FormLayer& layer) {
    return layer.Control(kMainWindow, "HomeWatchTimer");
}

}  // namespace

void RunSearch(forms::FormLayer& layer) {
    forms::ControlRef box = SearchBox(layer);
    box.SetText(RemoveAllSpaces(box.GetText()));
    if (box.GetText().empty()) {
        layer.ShowMessage(FromUtf8("没有输入搜索关键词，请重新输入。"), FromUtf8("输入错误"));
        return;
    }
    forms::ControlRef view = ResultView(layer);
    view.SetVisible(true);
    view.SetAddress(SearchUrl(box.GetText()));
    HomeWatchTimer(layer).SetPeriod(1);
    view.SetLeft(1);
    view.SetTop(29);
    view.SetHeight(570);
    view.SetWidth(998);
}

void CloseResults(forms::FormLayer& layer) {
    HomeWatchTimer(layer).SetPeriod(0);
    forms::ControlRef view = ResultView(layer);
    view.SetAddress(Text(""));
    view.SetVisible(false);
}

void CheckHomePage(forms::FormLayer& layer) {
    forms::ControlRef view = ResultView(layer);
    // Every entry is compared with a fresh read, match or not.
    for (const Text& home : HomePageAddresses()) {
        if (view.Address() == home) view.SetVisible(false);
    }
}

forms::Reply SearchBoxKeyPressed(forms::FormLayer& layer, const forms::EventArgs& args) {
    if (args.keyCode == forms::vk::Return) RunSearch(layer);
    return forms::Reply::Nothing;
}

forms::Reply SearchButtonClicked(forms::FormLayer& layer, const forms::EventArgs&) {
    RunSearch(layer);
    return forms::Reply::Nothing;
}

forms::Reply HomeButtonClicked(forms::FormLayer& layer, const forms::EventArgs&) {
    CloseResults(layer);
    return forms::Reply::Nothing;
}

forms::Reply BackButtonClicked(forms::FormLayer& layer, const forms::EventArgs&) {
    ResultView(layer).GoBack();
    return forms::Reply::Nothing;
}

forms::Reply ForwardButtonClicked(forms::FormLayer& layer, const forms::EventArgs&) {
    ResultView(layer).GoForward();
    return forms::Reply::Nothing;
}

forms::Reply HomeWatchTimerTick(forms::FormLayer& layer, const forms::EventArgs&) {
    CheckHomePage(layer);
    return forms::Reply::Nothing;
}

}  // namespace qinvara
