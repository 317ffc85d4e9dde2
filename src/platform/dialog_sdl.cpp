// The dialog front end of the SDL backend: a window of its own, drawn with Dear ImGui through an
// SDL renderer, each control at its own position and size. Clicks and keys become dialog input;
// the window procedure alone decides what they mean. The loop sleeps in SDL_WaitEventTimeout while
// nothing happens and redraws at most about 60 times a second after input.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include <SDL.h>
#include <imgui.h>
#include <imgui_freetype.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

#include "platform/dialog.h"

extern const display_backend sdl_backend;
extern const display_backend headless_backend;

namespace {

constexpr const char* font_file = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf";
constexpr float font_pixels = 12;
constexpr Uint64 frame_ms = 16;
// ImGui sees a click over two frames (press, then release); one more settles hover highlights.
constexpr int frames_after_input = 3;
constexpr float list_padding = 4; // a closed list is this much taller than its text, each side

ImVec4 rgb(uint32_t c) {
    return ImVec4(float(c >> 16 & 0xFF) / 255, float(c >> 8 & 0xFF) / 255, float(c & 0xFF) / 255,
                  1);
}
constexpr uint32_t button_face = 0xF0F0F0;

// The colours of a classic desktop dialog.
constexpr struct {
    ImGuiCol slot;
    uint32_t colour;
} palette[] = {
    {ImGuiCol_WindowBg, button_face},   {ImGuiCol_PopupBg, 0xFFFFFF},
    {ImGuiCol_Text, 0x000000},          {ImGuiCol_Border, 0x7A7A7A},
    {ImGuiCol_FrameBg, 0xFFFFFF},       {ImGuiCol_FrameBgHovered, 0xE5F1FB},
    {ImGuiCol_FrameBgActive, 0xCCE4F7}, {ImGuiCol_Button, 0xE1E1E1},
    {ImGuiCol_ButtonHovered, 0xE5F1FB}, {ImGuiCol_ButtonActive, 0xCCE4F7},
    {ImGuiCol_CheckMark, 0x000000},     {ImGuiCol_Header, 0xCCE8FF},
    {ImGuiCol_HeaderHovered, 0xE5F3FF}, {ImGuiCol_HeaderActive, 0x99C9EF},
};

// What the user did during one frame. It reaches the window procedure once the frame is drawn, so
// that the controls never change halfway through a frame.
struct user_input {
    enum { none, click, pick } kind = none;
    uint32_t id = 0;
    int32_t entry = 0;
};

// Video drivers that show nothing a user could click.
bool has_screen() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0;
}

void set_style() {
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowPadding = ImVec2(0, 0);
    style.WindowBorderSize = 0;
    style.WindowRounding = 0;
    style.FrameBorderSize = 1;
    style.FrameRounding = 0;
    style.PopupBorderSize = 1;
    style.ItemInnerSpacing = ImVec2(4, 0);
    for (const auto& [slot, colour] : palette)
        style.Colors[slot] = rgb(colour);
}

void draw_list(const dialog_control& list, user_input& input) {
    const int32_t selection = list.selection;
    const bool selected = selection >= 0 && size_t(selection) < list.entries.size();
    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding,
                        ImVec2(ImGui::GetStyle().FramePadding.x, list_padding));
    ImGui::SetNextItemWidth(float(list.width));
    // The dropped-down part takes the rest of the control's height (the window may cut it short).
    ImGui::SetNextWindowSizeConstraints(
        ImVec2(0, 0), ImVec2(float(list.width), float(list.height) - ImGui::GetFrameHeight()));
    if (ImGui::BeginCombo("##list", selected ? list.entries[size_t(selection)].c_str() : "")) {
        for (size_t i = 0; i < list.entries.size(); ++i) {
            ImGui::PushID(int(i));
            if (ImGui::Selectable(list.entries[i].c_str(), int32_t(i) == selection))
                input = {user_input::pick, list.id, int32_t(i)};
            ImGui::PopID();
        }
        ImGui::EndCombo();
    }
    ImGui::PopStyleVar();
}

void draw_check_box(const dialog_control& box, user_input& input) {
    // The box is as tall as the control.
    const float padding = std::max(0.0f, (float(box.height) - ImGui::GetFontSize()) / 2);
    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding,
                        ImVec2(ImGui::GetStyle().FramePadding.x, padding));
    bool ticked = box.checked; // the tick changes through dialog_click alone
    if (ImGui::Checkbox(box.text.c_str(), &ticked))
        input = {user_input::click, box.id};
    ImGui::PopStyleVar();
}

void draw_control(const dialog_control& control, user_input& input) {
    const ImVec2 at(float(control.x), float(control.y));
    ImGui::SetCursorPos(at);
    ImGui::PushID(int(control.id));
    ImGui::BeginDisabled(!control.enabled);
    switch (control.kind) {
    case dialog_control_kind::label: {
        const ImVec2 corner = ImGui::GetCursorScreenPos();
        ImGui::PushClipRect(
            corner, ImVec2(corner.x + float(control.width), corner.y + float(control.height)),
            true);
        ImGui::TextUnformatted(control.text.c_str());
        ImGui::PopClipRect();
        break;
    }
    case dialog_control_kind::list:
        draw_list(control, input);
        break;
    case dialog_control_kind::check_box:
        draw_check_box(control, input);
        break;
    case dialog_control_kind::push_button:
        if (ImGui::Button(control.text.c_str(),
                          ImVec2(float(control.width), float(control.height))))
            input = {user_input::click, control.id};
        break;
    }
    ImGui::EndDisabled();
    ImGui::PopID();
}

// One SDL window with its renderer and ImGui context; everything made is let go in reverse order.
class sdl_dialog {
  public:
    sdl_dialog() = default;
    sdl_dialog(const sdl_dialog&) = delete;
    sdl_dialog& operator=(const sdl_dialog&) = delete;

    ~sdl_dialog() {
        if (renderer_backend)
            ImGui_ImplSDLRenderer_Shutdown();
        if (platform_backend)
            ImGui_ImplSDL2_Shutdown();
        if (context)
            ImGui::DestroyContext(context);
        if (renderer)
            SDL_DestroyRenderer(renderer);
        if (window)
            SDL_DestroyWindow(window);
    }

    // False when any part cannot be made.
    bool open(const dialog_window& dialog) {
        window = SDL_CreateWindow(dialog.title.c_str(), SDL_WINDOWPOS_CENTERED_DISPLAY(0),
                                  SDL_WINDOWPOS_CENTERED_DISPLAY(0), dialog.width, dialog.height,
                                  SDL_WINDOW_ALWAYS_ON_TOP);
        if (!window)
            return false;
        // The software renderer is plenty for a few controls. Its window surface goes straight to
        // the window system rather than through an OpenGL texture, so no graphics driver is loaded
        // (unless the environment asks for one).
        SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
        if (!renderer)
            return false;
        context = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.LogFilename = nullptr;
        io.Fonts->FontBuilderIO = ImGuiFreeType::GetBuilderForFreeType();
        std::error_code missing;
        if (!std::filesystem::exists(font_file, missing) ||
            !io.Fonts->AddFontFromFileTTF(font_file, font_pixels))
            io.Fonts->AddFontDefault();
        set_style();
        platform_backend = ImGui_ImplSDL2_InitForSDLRenderer(window);
        renderer_backend = platform_backend && ImGui_ImplSDLRenderer_Init(renderer);
        return renderer_backend;
    }

    void run(dialog_window& dialog) {
        dialog_create(dialog);
        int frames_due = frames_after_input;
        Uint64 drawn = 0;
        while (dialog.alive) {
            const Uint64 now = SDL_GetTicks64();
            if (frames_due > 0 && now - drawn >= frame_ms) {
                draw(dialog);
                drawn = now;
                --frames_due;
                continue;
            }
            const int timeout = frames_due > 0 ? int(frame_ms - (now - drawn)) : -1;
            SDL_Event event;
            if (!SDL_WaitEventTimeout(&event, timeout))
                continue;
            do
                handle(dialog, event);
            while (SDL_PollEvent(&event));
            frames_due = frames_after_input;
        }
    }

  private:
    void handle(dialog_window& dialog, const SDL_Event& event) {
        if (!dialog.alive)
            return;
        ImGui_ImplSDL2_ProcessEvent(&event);
        const Uint32 id = SDL_GetWindowID(window);
        switch (event.type) {
        case SDL_QUIT:
            dialog_close(dialog);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.windowID == id && event.window.event == SDL_WINDOWEVENT_CLOSE)
                dialog_close(dialog);
            break;
        case SDL_KEYDOWN:
            // Keys typed into another window are not ours; SDL may not know the focus yet (0).
            if ((event.key.windowID != id && event.key.windowID != 0) || event.key.repeat)
                break;
            if (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER)
                dialog_click(dialog, dialog.default_button);
            else if (event.key.keysym.sym == SDLK_ESCAPE)
                dialog_close(dialog);
            break;
        }
    }

    void draw(dialog_window& dialog) {
        ImGui_ImplSDLRenderer_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
        ImGui::Begin("##dialog", nullptr,
                     ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                         ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus);
        user_input input;
        for (const dialog_control& control : dialog.controls)
            draw_control(control, input);
        ImGui::End();
        ImGui::Render();

        SDL_RenderClear(renderer); // the dialog's own window covers it all
        ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
        SDL_RenderPresent(renderer);

        if (input.kind == user_input::click)
            dialog_click(dialog, input.id);
        else if (input.kind == user_input::pick)
            dialog_pick(dialog, input.id, input.entry);
    }

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    ImGuiContext* context = nullptr;
    bool platform_backend = false, renderer_backend = false;
};

bool run_sdl_dialog(dialog_window& dialog) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    bool shown = false;
    if (has_screen()) {
        sdl_dialog window;
        shown = window.open(dialog);
        if (shown)
            window.run(dialog);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return shown;
}

} // namespace

dialog_runner dialog_runner_for(const display_backend* backend) {
    if (backend == &headless_backend)
        return run_headless_dialog;
    return backend == &sdl_backend ? run_sdl_dialog : nullptr;
}
