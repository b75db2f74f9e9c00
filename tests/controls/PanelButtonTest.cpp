#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <wx/image.h>
#include <wx/tooltip.h>

#include "PixelTestSupport.h"
#include "controls/ControlRect.h"
#include "controls/PanelButton.h"
#include "res/ResourceIds.h"
#include "res/TextMenuItem.h"
#include "support/XInput.h"

namespace {

using namespace controls_test;

class PanelButtonTest : public ::testing::Test {
protected:
    TestFrame frame;
    // The record button's place: 48 x 23 pixels.
    CPanelButton* button =
        new CPanelButton(frame.Panel(), res::IDC_RECORD_BUTTON, controls::EdgeRect(58, 85, 106, 108));
};

TEST_F(PanelButtonTest, HasNoCaptionAndKeepsItsPlace)
{
    EXPECT_EQ(button->GetLabel(), "");
    EXPECT_EQ(button->GetId(), res::IDC_RECORD_BUTTON);
    EXPECT_EQ(button->GetRect(), wxRect(58, 85, 48, 23));
}

TEST_F(PanelButtonTest, TheLastIconSetIsShown)
{
    button->SetIconId(res::IDI_STOP);
    button->SetIconId(res::IDI_RECORD);
    EXPECT_EQ(button->GetIconId(), res::IDI_RECORD);
    const wxBitmap shown = button->GetBitmap();
    ASSERT_TRUE(shown.IsOk());
    // The face is 44 x 19: the icon is cut to 32 x 19 around its middle, where the red disc is.
    const wxImage image = shown.ConvertToImage();
    EXPECT_EQ(image.GetSize(), wxSize(32, 19));
    EXPECT_EQ(image.GetRed(18, 12), 255);

    // Only the low 16 bits of the id count.
    button->SetIconId(0x10000 + res::IDI_PLAY);
    EXPECT_EQ(button->GetIconId(), res::IDI_PLAY);
}

TEST_F(PanelButtonTest, DescriptionIsTheTooltipAndTheAccessibleName)
{
    auto* widget = static_cast<GtkWidget*>(button->GetHandle());
    button->SetDescription("Запись");
    ASSERT_NE(button->GetToolTip(), nullptr);
    EXPECT_EQ(button->GetToolTip()->GetTip().utf8_string(), "Запись");
    gchar* tip = gtk_widget_get_tooltip_text(widget);
    EXPECT_STREQ(tip, "Запись");
    g_free(tip);
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(widget)), "Запись");
    EXPECT_EQ(button->GetLabel(), "") << "the face still shows only the icon";

    button->SetDescription("Стоп");
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(widget)), "Стоп");
    EXPECT_EQ(button->GetToolTip()->GetTip().utf8_string(), "Стоп");
}

// A tooltip window of the toolkit is on screen.
bool TooltipShown()
{
    bool shown = false;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr; w = w->next) {
        GtkWindow* window = GTK_WINDOW(w->data);
        if (gtk_window_get_type_hint(window) == GDK_WINDOW_TYPE_HINT_TOOLTIP &&
            gtk_widget_get_mapped(GTK_WIDGET(window)))
            shown = true;
    }
    g_list_free(windows);
    return shown;
}

TEST_F(PanelButtonTest, HoveringShowsTheTooltip)
{
    button->SetDescription("Громкость...");
    frame.Panel()->GetParent()->Raise();
    RunEventsUntil([] { return false; }, 200);
    const wxRect rect = button->GetScreenRect();
    testing_support::XMovePointer(wxPoint(rect.x - 20, rect.y - 20));
    RunEventsUntil([] { return false; }, 100);
    EXPECT_FALSE(TooltipShown());
    for (int step = 0; step < 6; ++step) {
        testing_support::XMovePointer(wxPoint(rect.x + 10 + step, rect.y + rect.height / 2));
        RunEventsUntil([] { return false; }, 100);
    }
    RunEventsUntil([] { return TooltipShown(); }, 3000);
    EXPECT_TRUE(TooltipShown());
}

TEST(MenuCommandName, DropsMnemonicAndShortcut)
{
    using res::TextMenuItem;
    EXPECT_EQ(TextMenuItem::CommandName("&Новый... \tCtrl - N"), "Новый...");
    EXPECT_EQ(TextMenuItem::CommandName("&Запись\tEnter"), "Запись");
    EXPECT_EQ(TextMenuItem::CommandName("Стоп\tSpace"), "Стоп");
    EXPECT_EQ(TextMenuItem::CommandName("Н&азад на 5 сек\tLeft"), "Назад на 5 сек");
    EXPECT_EQ(TextMenuItem::CommandName("&Web-site"), "Web-site");
    EXPECT_EQ(TextMenuItem::CommandName("Tom && Jerry"), "Tom & Jerry");
    EXPECT_EQ(TextMenuItem::CommandName(""), "");
}

TEST_F(PanelButtonTest, FlashShowsThePushedLookForAMoment)
{
    EXPECT_FALSE(button->IsFlashing());
    button->Flash();
    EXPECT_TRUE(button->IsFlashing());
    RunEventsUntil([&] { return !button->IsFlashing(); }, 2000);
    EXPECT_FALSE(button->IsFlashing());
}

TEST_F(PanelButtonTest, DestroyingAFlashingButtonIsSafe)
{
    button->Flash();
    button->Destroy();
    RunEventsUntil([] { return false; }, 200);
}

}  // namespace
