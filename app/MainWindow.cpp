#include "app/MainWindow.h"

#include "about/About.h"
#include "app/MainWindowButtons.h"
#include "hosts.h"
#include "search/Search.h"
#include "update/UpdateCheck.h"

namespace qinvara {
namespace {

using forms::Event;
using forms::ImageButtonProps;

std::string CounterPageUrl() {
    return std::string("http://") + UpdateHost + "/id/qvnr.html?1.0bata1";
}

forms::ControlSpec ImageButton(const char* name, int left, int top, int width, int height,
                               Artwork normal, Artwork hover, Artwork pressed) {
    return {
        name, "", left, top, width, height, true, false, ImageButtonProps{normal, hover, pressed}};
}

forms::Form MakeMainWindow() {
    forms::Form form;
    forms::WindowSpec& w = form.window;
    w.name = "MainWindow";
    w.caption = "Sendrow";
    w.width = 1000;
    w.height = 600;
    w.border = forms::Border::None;
    w.minimizeBox = true;
    w.maximizeBox = true;
    w.hasBackgroundPicture = true;
    w.backgroundPicture = Artwork::MainBackground;
    w.icon = forms::WindowIcon::ProgramIcon;
    w.startCentred = true;
    w.escCloses = true;
    w.moveByBody = true;
    w.showInTaskbar = true;
    w.visible = true;

    forms::Font searchFont;
    searchFont.pixelHeight = 21;
    searchFont.weight = 400;

    // Form order: each control lies above every control after it.
    form.controls = {
        {"StatsView", "", 184, 8, 16, 16, false, false,
         forms::WebViewProps{CounterPageUrl(), false}},
        {"AboutLabel", "", 872, 8, 24, 16, true, false,
         forms::LabelProps{"关于", forms::Rgb{255, 255, 255}, {}, forms::Align::Left}},
        {"HomeWatchTimer", "", 208, 8, 16, 16, false, false, forms::TimerProps{0}},
        ImageButton("BackButton", 757, 2, 29, 26, Artwork::BackNormal, Artwork::BackHover,
                    Artwork::BackPressed),
        ImageButton("ForwardButton", 796, 2, 29, 26, Artwork::ForwardNormal, Artwork::ForwardHover,
                    Artwork::ForwardPressed),
        ImageButton("HomeButton", 714, 2, 29, 26, Artwork::HomeNormal, Artwork::HomeHover,
                    Artwork::HomePressed),
        {"ResultView", "", 128, 168, 48, 48, false, true, forms::WebViewProps{"", true}},
        ImageButton("MinimizeButton", 951, 2, 20, 20, Artwork::MinimizeNormal,
                    Artwork::MinimizeHover, Artwork::MinimizePressed),
        ImageButton("CloseButton", 975, 5, 20, 20, Artwork::CloseNormal, Artwork::CloseHover,
                    Artwork::ClosePressed),
        ImageButton("SearchButton", 670, 259, 70, 30, Artwork::SearchNormal, Artwork::SearchHover,
                    Artwork::SearchPressed),
        {"SearchBox", "", 366, 260, 288, 30, true, true,
         forms::EditProps{"", searchFont, false, 32}},
    };

    form.bindings = {
        {"", Event::Created, &MainWindowCreated},
        {"AboutLabel", Event::LeftMousePressed, &AboutLabelPressed},
        {"HomeWatchTimer", Event::Tick, &HomeWatchTimerTick},
        {"BackButton", Event::Clicked, &BackButtonClicked},
        {"ForwardButton", Event::Clicked, &ForwardButtonClicked},
        {"HomeButton", Event::Clicked, &HomeButtonClicked},
        {"MinimizeButton", Event::Clicked, &MinimizeButtonClicked},
        {"CloseButton", Event::Clicked, &CloseButtonClicked},
        {"SearchButton", Event::Clicked, &SearchButtonClicked},
        {"SearchBox", Event::KeyPressed, &SearchBoxKeyPressed},
    };
    return form;
}

}  // namespace

const forms::Form& MainWindowForm() {
    static const forms::Form form = MakeMainWindow();
    return form;
}

}  // namespace qinvara
