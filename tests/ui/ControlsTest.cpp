#include "UiTest.h"

#include "framework/ui/Edit.h"
#include "framework/ui/Form.h"
#include "framework/ui/Input.h"
#include "framework/ui/Label.h"
#include "framework/ui/Panel.h"
#include "framework/ui/SpeedButton.h"

#include <gtest/gtest.h>

TEST(Smoke, FormShowsAndFocuses) {
    StartApplication();
    auto* form = new TForm(Application);
    form->SetBounds(10, 10, 300, 200);
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    form->Show();
    EXPECT_TRUE(edit->Focused());
    delete form;
}
