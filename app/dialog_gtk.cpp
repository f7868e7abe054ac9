// GTK 3 backend of the start dialog. The only file that includes GTK. Controls are
// laid out on a fixed grid in dialog units of the classic system font (2 x 2 pixels
// per unit), so the dialog keeps its original proportions.
#include "app/dialog.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "app/display_modes.h"

const char* const kStartDialogCaption = "        Zoduv aziridiru ZUR - 2014 ";

namespace {

constexpr int kPixelsPerUnitX = 2; // system font cell 8 x 16: a quarter of its width
constexpr int kPixelsPerUnitY = 2; // and an eighth of its height

// Position and size in dialog units.
struct Box {
    int x, y, w, h;
};

//                               x   y    w    h
constexpr Box kDialogBox      = {  0,  0, 203,  88};
constexpr Box kRunBox         = { 17, 61, 103,  21};
constexpr Box kQuitBox        = {145, 61,  24,  21};
constexpr Box kAntialiasedBox = { 18, 37,  62,  15};
constexpr Box kWindowedBox    = {108, 37,  62,  15};
constexpr Box kModeListBox    = { 16, 12, 172,   0}; // closed height is the list's own
constexpr Box kResolutionBox  = {  2,  3, 198,  28};
constexpr Box kMiddleGroupBox = {  2, 29, 198,  26};
constexpr Box kBottomGroupBox = {  2, 53, 198,  34};

void place(GtkFixed* grid, GtkWidget* widget, const Box& box)
{
    gtk_widget_set_size_request(widget, box.w * kPixelsPerUnitX, box.h > 0 ? box.h * kPixelsPerUnitY : -1);
    gtk_fixed_put(grid, widget, box.x * kPixelsPerUnitX, box.y * kPixelsPerUnitY);
}

struct DialogWidgets {
    GtkWidget* window = nullptr;
    GtkWidget* run = nullptr;
    GtkWidget* quit = nullptr;
    GtkWidget* antialiased = nullptr;
    GtkWidget* windowed = nullptr;
    GtkWidget* modeList = nullptr;
    bool runChosen = false;
    bool finished = false;
    bool windowGone = false; // destroyed from outside (the X window went away)
    // The choice as it stood when the dialog finished.
    bool antialiasedChecked = true;
    bool windowedChecked = false;
    int selected = -1;
};

void finish(DialogWidgets& dialog, bool run)
{
    if (dialog.finished)
        return;
    dialog.finished = true;
    dialog.runChosen = run;
    dialog.antialiasedChecked = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(dialog.antialiased));
    dialog.windowedChecked = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(dialog.windowed));
    dialog.selected = gtk_combo_box_get_active(GTK_COMBO_BOX(dialog.modeList));
    gtk_main_quit();
}

void onRun(GtkButton*, gpointer data) { finish(*static_cast<DialogWidgets*>(data), true); }
void onQuit(GtkButton*, gpointer data) { finish(*static_cast<DialogWidgets*>(data), false); }

gboolean onClose(GtkWidget*, GdkEvent*, gpointer data)
{
    finish(*static_cast<DialogWidgets*>(data), false);
    return TRUE; // the window is destroyed by runStartDialog
}

// A window that vanishes without asking counts as closed.
void onDestroyed(GtkWidget*, gpointer data)
{
    auto& dialog = *static_cast<DialogWidgets*>(data);
    dialog.windowGone = true;
    finish(dialog, false);
}

// Return presses the default button wherever the focus is, except on "Quit"
// itself; Escape is "Quit", as in a classic modal dialog.
gboolean onKey(GtkWidget*, GdkEventKey* event, gpointer data)
{
    auto& dialog = *static_cast<DialogWidgets*>(data);
    if (event->keyval == GDK_KEY_Escape) {
        finish(dialog, false);
        return TRUE;
    }
    if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(dialog.window));
        finish(dialog, focus != dialog.quit);
        return TRUE;
    }
    return FALSE;
}

GtkWidget* groupBox(const char* label)
{
    GtkWidget* frame = gtk_frame_new(label);
    gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_ETCHED_IN);
    return frame;
}

void buildDialog(DialogWidgets& dialog, RuntimeState& state, RunConfig& config)
{
    dialog.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(dialog.window);
    gtk_window_set_title(window, kStartDialogCaption);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_position(window, GTK_WIN_POS_MOUSE); // centred on the pointer
    gtk_window_set_keep_above(window, TRUE);
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_skip_taskbar_hint(window, TRUE);

    GtkWidget* grid = gtk_fixed_new();
    gtk_widget_set_size_request(grid, kDialogBox.w * kPixelsPerUnitX, kDialogBox.h * kPixelsPerUnitY);
    gtk_container_add(GTK_CONTAINER(window), grid);
    GtkFixed* fixed = GTK_FIXED(grid);

    // Group boxes first so the controls are drawn over them.
    place(fixed, groupBox("Resolution"), kResolutionBox);
    place(fixed, groupBox(nullptr), kMiddleGroupBox);
    place(fixed, groupBox(nullptr), kBottomGroupBox);

    dialog.modeList = gtk_combo_box_text_new();
    place(fixed, dialog.modeList, kModeListBox);
    dialog.antialiased = gtk_toggle_button_new_with_label("Antialiased");
    place(fixed, dialog.antialiased, kAntialiasedBox);
    dialog.windowed = gtk_toggle_button_new_with_label("Windowed");
    place(fixed, dialog.windowed, kWindowedBox);
    dialog.run = gtk_button_new_with_label("Run ... ");
    place(fixed, dialog.run, kRunBox);
    dialog.quit = gtk_button_new_with_label("Quit");
    place(fixed, dialog.quit, kQuitBox);

    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog.antialiased), TRUE);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog.windowed), FALSE);

    if (config.dialogFirstInit) {
        for (const DisplayMode& mode : state.displayModes)
            gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(dialog.modeList),
                                           modeLabel(mode.first, mode.second).c_str());
        gtk_combo_box_set_active(GTK_COMBO_BOX(dialog.modeList), defaultModeIndex(state.displayModes));
        config.dialogFirstInit = 0;
    }

    gtk_widget_set_can_default(dialog.run, TRUE);
    gtk_window_set_default(window, dialog.run);

    g_signal_connect(dialog.run, "clicked", G_CALLBACK(onRun), &dialog);
    g_signal_connect(dialog.quit, "clicked", G_CALLBACK(onQuit), &dialog);
    g_signal_connect(dialog.window, "delete-event", G_CALLBACK(onClose), &dialog);
    g_signal_connect(dialog.window, "key-press-event", G_CALLBACK(onKey), &dialog);
    g_signal_connect(dialog.window, "destroy", G_CALLBACK(onDestroyed), &dialog);
}

// Runs what the destroyed window left queued, then waits until the X server has
// taken every request, so no trace of the dialog outlives this call.
void drainEvents()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
    if (GdkDisplay* display = gdk_display_get_default())
        gdk_display_sync(display);
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

} // namespace

bool runStartDialog(RuntimeState& state, RunConfig& config, DemoContext& context)
{
    // GTK would otherwise switch the C library to the user's locale, and every
    // number the show prints or parses afterwards relies on the "C" decimal point.
    static bool localeKept = false;
    if (!localeKept) {
        gtk_disable_setlocale();
        localeKept = true;
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "Start dialog: no display to show it on; running windowed at 1280 x 720.\n");
        DialogChoice choice;
        choice.antialiased = config.antialiased != 0;
        applyDialogChoice(choice, state, config, context);
        return true;
    }

    DialogWidgets dialog;
    buildDialog(dialog, state, config);
    gtk_widget_show_all(dialog.window);
    gtk_widget_grab_focus(dialog.run);
    gtk_main();

    if (!dialog.windowGone) {
        g_signal_handlers_disconnect_by_data(dialog.window, &dialog);
        gtk_widget_destroy(dialog.window);
    }
    drainEvents();

    if (!dialog.runChosen)
        std::exit(0);
    applyDialogChoice(dialogChoice(state.displayModes, dialog.selected, dialog.antialiasedChecked,
                                   dialog.windowedChecked),
                      state, config, context);
    return true;
}
