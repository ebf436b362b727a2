#include "gui/Resources.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/CommandIds.h"

namespace
{
constexpr SMenuItem SEPARATOR = {0, nullptr, false};

constexpr SMenuItem FILE_MENU[] = {
    {ID_FILE_NEW, "&New\tCtrl+N", true},
    {ID_FILE_OPEN, "&Open...\tCtrl+O", false},
    {ID_FILE_SAVE, "&Save\tCtrl+S", true},
    {ID_FILE_SAVE_AS, "Save &As...", true},
    {ID_FILE_RELOAD, "&Reload\tF5", false},
    {ID_FILE_RELOAD_ON_CHANGE, "Reload on C&hange", false},
    SEPARATOR,
    {ID_FILE_MAKE_SCENE, "&Make Scene", false},
    {ID_FILE_LOAD_SCENE, "&Load Scene...", false},
    {ID_FILE_CLEAR_SCENE, "&Clear Scene", false},
    SEPARATOR,
    {ID_FILE_MRU_FILE1, "Recent File", true},
    SEPARATOR,
    {ID_APP_EXIT, "E&xit", false},
};

constexpr SMenuItem EDIT_MENU[] = {
    {ID_EDIT_UNDO, "&Undo\tCtrl+Z", false},   SEPARATOR,
    {ID_EDIT_CUT, "Cu&t\tCtrl+X", false},     {ID_EDIT_COPY, "&Copy\tCtrl+C", false},
    {ID_EDIT_PASTE, "&Paste\tCtrl+V", false},
};

constexpr SMenuItem VIEW_MENU[] = {
    {ID_VIEW_OBJECT_INFO, "View Object &Information...", false},
    {ID_VIEW_SELECT_PREVIOUS, "Select &Previous Object\tP", false},
    {ID_VIEW_SELECT_NEXT, "Select &Next Object\tN", false},
    {ID_VIEW_SET_VIEW_PARAMETERS, "Set &View Parameters...", false},
    {ID_VIEW_DEFAULT_VIEW, "Set to &Default View", false},
    SEPARATOR,
    {ID_VIEW_FRONT, "F&ront\tNum+1", false},
    {ID_VIEW_BACK, "Bac&k\tCtrl+Num+1", false},
    {ID_VIEW_RIGHT, "&Right\tNum+3", false},
    {ID_VIEW_LEFT, "&Left\tCtrl+Num+3", false},
    {ID_VIEW_TOP, "&Top\tNum+7", false},
    {ID_VIEW_BOTTOM, "Botto&m\tCtrl+Num+7", false},
    {ID_VIEW_ISOMETRIC, "Isom&etric\tNum+9", false},
    {ID_VIEW_ORTHOGRAPHIC, "Orthogr&aphic\tNum+5", false},
    SEPARATOR,
    {ID_VIEW_WIREFRAME, "&Wireframe", false},
    {ID_VIEW_HIDDEN_LINE, "Wireframe w/o &Hidden Lines", false},
    {ID_VIEW_SHADED, "&Shaded", false},
    {ID_VIEW_POINTS, "P&oints", false},
    SEPARATOR,
    {ID_VIEW_FLAT_SHADING, "&Flat Shading", false},
    {ID_VIEW_GOURAUD_SHADING, "&Gouraud Shading", false},
    SEPARATOR,
    {ID_VIEW_TEXTURE_MAP, "&Texture Map", false},
    SEPARATOR,
    {ID_VIEW_SPIN, "Spi&n Model", false},
    SEPARATOR,
    {ID_VIEW_STATUS_BAR, "Status &Bar", false},
};

constexpr SMenuItem TEXTURES_MENU[] = {
    {ID_TEXTURE_LOAD, "&Load a texture...", false},
    {ID_TEXTURE_CHECKERBOARD, "Generate &Checkboard Texture", false},
    {ID_VIEW_TEXTURE_MAP, "&Texture Map", false},
};

constexpr SMenuItem IMPORT_MENU[] = {
    {ID_IMPORT_BINARY_STL, "Import from binary &STL...", false},
    {ID_IMPORT_ASCII_STL, "Import from ASCII S&TL...", false},
};

constexpr SMenuItem EXPORT_MENU[] = {
    {ID_EXPORT_JPEG, "Write Image to &JPEG...", false},
    {ID_EXPORT_PNG, "Write Image to P&NG...", false},
    {ID_EXPORT_IMAGE_AT_SIZE, "Write Image at S&ize...", false},
    {ID_EXPORT_METAFILE, "Write Image to &Metafile...", false},
    {ID_EXPORT_BITMAP, "Write Image to &Bitmap...", false},
    {ID_EXPORT_SCENE_OFF, "Write Scene to &OFF...", false},
    {ID_EXPORT_BINARY_STL, "Write Scene to Binary &STL...", false},
    {ID_EXPORT_ASCII_STL, "Write Scene to ASCII S&TL...", false},
    {ID_EXPORT_PLY, "Export to &PLY...", false},
    {ID_EXPORT_OBJ, "Export to O&BJ...", false},
    {ID_EXPORT_POINT_CLOUD, "Write Scene to Point Cloud...", false},
};

constexpr SMenuItem TOOLS_MENU[] = {
    {ID_TOOLS_INVERT_MESH, "&Invert Mesh", false},
    {ID_TOOLS_TRANSFORM_MESH, "&Transform Mesh...", false},
    SEPARATOR,
    {ID_TOOLS_BACKGROUND_COLOR, "Set &Background Color...", false},
    {ID_TOOLS_MATERIALS, "Set Material and Lighting Properties...", false},
    SEPARATOR,
    {ID_TOOLS_LIGHTING, "&Lighting Enabled", false},
    {ID_TOOLS_CULLING, "Backface &Culling Enabled", false},
};

constexpr SMenuItem ANIMATION_MENU[] = {
    {ID_ANIMATION_PLAY, "&Play", false},
    {ID_ANIMATION_PAUSE, "Pa&use", false},
    {ID_ANIMATION_STOP, "&Stop", false},
    {ID_ANIMATION_REWIND, "&Rewind", false},
    {ID_ANIMATION_MOVE_TO_TIME, "Move to &Time...", false},
    {ID_ANIMATION_RECORD, "Re&cord Animation...", false},
    SEPARATOR,
    {ID_ANIMATION_ADD_KEYFRAME, "Add &Keyframe...", false},
    {ID_ANIMATION_WRITE_KEYFRAMES, "&Write Keyframes to File", false},
    {ID_ANIMATION_LOAD_KEYFRAMES, "&Load Keyframes from File...", false},
};

constexpr SMenuItem HELP_MENU[] = {
    {ID_HELP_KEYS_AND_MOUSE, "&Keys and Mouse", false},
    {ID_APP_ABOUT, "&About TeldViewGL...", false},
};

constexpr SMenu MAIN_MENU[] = {
    {"&File", FILE_MENU},         {"&Edit", EDIT_MENU},           {"&View", VIEW_MENU},
    {"Text&ures", TEXTURES_MENU}, {"&Import", IMPORT_MENU},       {"E&xport", EXPORT_MENU},
    {"&Tools", TOOLS_MENU},       {"&Animation", ANIMATION_MENU}, {"&Help", HELP_MENU},
};

// What the view itself does with the mouse and the keys, besides the shortcuts.
constexpr SInputAction VIEW_INPUTS[] = {
    {"Left drag", "turn the current object the way the mouse moves, and set the spin rates"},
    {"Right drag", "move it sideways; down brings it closer, up pushes it away (in an orthographic view: "
                   "down shows the scene larger, up smaller)"},
    {"Both buttons", "move it in the screen plane"},
    {"Arrow keys", "turn it by 2 degrees, and speed a running spin up in that direction"},
    {"Keypad - and +", "move it one unit towards or away from the viewer"},
    {"Mouse wheel", "bring it a tenth of its distance nearer, or take it as far out again (in an "
                    "orthographic view: show the scene a tenth larger or smaller)"},
    {"Space", "show or hide the keyframe guide"},
    {"Left drag on the guide", "turn the keyframe direction (with Shift: the rotation)"},
    {"Right drag on the guide", "lengthen or shorten the direction (with Shift: the rotation)"},
};

constexpr SAccelerator ACCELERATORS[] = {
    {"Ctrl+C", ID_EDIT_COPY},
    {"N", ID_VIEW_SELECT_NEXT},
    {"Ctrl+N", ID_FILE_NEW},
    {"Ctrl+O", ID_FILE_OPEN},
    {"P", ID_VIEW_SELECT_PREVIOUS},
    {"Ctrl+S", ID_FILE_SAVE},
    {"Ctrl+V", ID_EDIT_PASTE},
    {"Alt+Backspace", ID_EDIT_UNDO},
    {"Shift+Del", ID_EDIT_CUT},
    {"F6", ID_NEXT_PANE},
    {"Shift+F6", ID_PREV_PANE},
    {"Ctrl+Ins", ID_EDIT_COPY},
    {"Shift+Ins", ID_EDIT_PASTE},
    {"Ctrl+X", ID_EDIT_CUT},
    {"Ctrl+Z", ID_EDIT_UNDO},
    {"F5", ID_FILE_RELOAD},
    // The keypad's digits, and the keys it sends instead while Num Lock is off.
    {"Num+1", ID_VIEW_FRONT},
    {"Num+End", ID_VIEW_FRONT},
    {"Ctrl+Num+1", ID_VIEW_BACK},
    {"Ctrl+Num+End", ID_VIEW_BACK},
    {"Num+3", ID_VIEW_RIGHT},
    {"Num+PgDown", ID_VIEW_RIGHT},
    {"Ctrl+Num+3", ID_VIEW_LEFT},
    {"Ctrl+Num+PgDown", ID_VIEW_LEFT},
    {"Num+7", ID_VIEW_TOP},
    {"Num+Home", ID_VIEW_TOP},
    {"Ctrl+Num+7", ID_VIEW_BOTTOM},
    {"Ctrl+Num+Home", ID_VIEW_BOTTOM},
    {"Num+9", ID_VIEW_ISOMETRIC},
    {"Num+PgUp", ID_VIEW_ISOMETRIC},
    {"Num+5", ID_VIEW_ORTHOGRAPHIC},
    {"Num+Clear", ID_VIEW_ORTHOGRAPHIC},
};

// Prompts and short names are "prompt\nshort name". "&Flat Shading" (32780) and
// "Generate &Checkboard Texture" (32793) have no string.
constexpr SStringEntry STRINGS[] = {
    {IDR_MAINFRAME, Resources::DOCUMENT_STRING},
    {AFX_IDS_APP_TITLE, "TeldViewGL"},
    {AFX_IDS_IDLEMESSAGE, "Ready"},
    {ID_VIEW_SIZE, "000  x  000"},
    {ID_FRAME_RATE, "000.0 FPS"},
    {ID_SELECTED_MESH, "Selected Mesh"},
    {ID_INDICATOR_CAPS, "CAP"},
    {ID_INDICATOR_NUM, "NUM"},
    {ID_INDICATOR_SCRL, "SCRL"},
    {ID_FILE_NEW, "Create a new document\nNew"},
    {ID_FILE_OPEN, "Open an existing document\nOpen"},
    {ID_FILE_SAVE, "Save the active document\nSave"},
    {ID_FILE_SAVE_AS, "Save the active document with a new name\nSave As"},
    {ID_FILE_RELOAD, "Read the open files again from disk.\nReload"},
    {ID_FILE_RELOAD_ON_CHANGE, "Read a file again whenever it changes on disk.\nReload on Change"},
    {ID_FILE_MAKE_SCENE, "Make the current mesh into a scene.\nMake Scene"},
    {ID_FILE_LOAD_SCENE, "Load a scene file and its associated files.\nLoad Scene"},
    {ID_FILE_CLEAR_SCENE, "Remove the current scene.\nClear Scene"},
    {ID_FILE_MRU_FILE1, "Open this document"},
    {ID_FILE_MRU_FILE1 + 1, "Open this document"},
    {ID_FILE_MRU_FILE1 + 2, "Open this document"},
    {ID_FILE_MRU_FILE1 + 3, "Open this document"},
    {ID_FILE_MRU_FILE5, "Open this document"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    {ID_EDIT_UNDO, "Undo the last action\nUndo"},
    {ID_EDIT_CUT, "Cut the selection and put it on the Clipboard\nCut"},
    {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
    {ID_EDIT_PASTE, "Insert Clipboard contents\nPaste"},
    {ID_VIEW_OBJECT_INFO, "View information about current objects.\nView Object Information"},
    {ID_VIEW_SELECT_PREVIOUS, "Select previous object in the scene.\nSelect Previous Object"},
    {ID_VIEW_SELECT_NEXT, "Select next object in the scene.\nSelect Next Object"},
    {ID_VIEW_SET_VIEW_PARAMETERS, "Set the location and direction of the view.\nSet the view manually."},
    {ID_VIEW_DEFAULT_VIEW,
     "Set the view of the model back to its default value.\nSet the view to default values."},
    {ID_VIEW_FRONT, "Look at the scene from the front.\nFront View"},
    {ID_VIEW_BACK, "Look at the scene from the back.\nBack View"},
    {ID_VIEW_LEFT, "Look at the scene from the left.\nLeft View"},
    {ID_VIEW_RIGHT, "Look at the scene from the right.\nRight View"},
    {ID_VIEW_TOP, "Look at the scene from above.\nTop View"},
    {ID_VIEW_BOTTOM, "Look at the scene from below.\nBottom View"},
    {ID_VIEW_ISOMETRIC, "Look at the scene from front, right and top alike.\nIsometric View"},
    {ID_VIEW_ORTHOGRAPHIC, "Toggle a parallel projection without perspective.\nOrthographic"},
    {ID_VIEW_WIREFRAME, "View as a wireframe.\nView as a wireframe."},
    {ID_VIEW_HIDDEN_LINE,
     "View as a wireframe with hidden lines removed.\nView as a Wireframe w/o Hidden Lines"},
    {ID_VIEW_SHADED, "View as shaded.\nView as shaded."},
    {ID_VIEW_POINTS, "View as a point field.\nView as a point field."},
    {ID_VIEW_GOURAUD_SHADING, "Use Gouraud (smooth) shading.\nGouraud Shading"},
    {ID_VIEW_TEXTURE_MAP, "Toggle using or not using a texture map.\nUse Texture Map"},
    {ID_VIEW_SPIN, "Spin the model without explicit manipulation.\nSpin the Model"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
    {ID_TEXTURE_LOAD, "Load a texture from a Windows Bitmap.\nLoad a Texture"},
    {ID_IMPORT_BINARY_STL, "Load from a binary STL file.\nImport binary STL"},
    {ID_IMPORT_ASCII_STL, "Load from an ASCII STL file.\nImport ASCII STL"},
    {ID_EXPORT_JPEG, "Export the current screen image to a JPEG file.\nWrite Current Image to JPEG"},
    {ID_EXPORT_PNG, "Export the current screen image to a PNG file.\nWrite Current Image to PNG"},
    {ID_EXPORT_IMAGE_AT_SIZE, "Write the view's picture at a size you choose.\nWrite Image at Size"},
    {ID_EXPORT_METAFILE, "Export the current screen image to a Windows Enhanced "
                         "Metafile.\nWrite Current Image to Metafile"},
    {ID_EXPORT_BITMAP, "Export the current screen image to a Windows Bitmap.\nWrite Current Image to Bitmap"},
    {ID_EXPORT_SCENE_OFF, "Export the current scene to a single OFF file.\nWrite Current Scene to OFF"},
    {ID_EXPORT_BINARY_STL, "Write all objects in the scene to a binary .STL file.\nExport to Binary STL"},
    {ID_EXPORT_ASCII_STL, "Write all objects in the scene to an ASCII .STL file.\nExport to ASCII STL"},
    {ID_EXPORT_PLY, "Write all objects in the scene to a binary .PLY file.\nExport to PLY"},
    {ID_EXPORT_OBJ, "Write all objects in the scene to an .OBJ file.\nExport to OBJ"},
    {ID_EXPORT_POINT_CLOUD,
     "Write out points and normals to non-standard binary format.\nWrite Scene to Point Cloud"},
    {ID_TOOLS_INVERT_MESH, "Invert the mesh, reversing inside and outside.\nInvert the model's mesh."},
    {ID_TOOLS_TRANSFORM_MESH, "Apply an affine transformation to the current mesh.\nTransform Mesh"},
    {ID_TOOLS_BACKGROUND_COLOR, "Set the background color.\nSet background color."},
    {ID_TOOLS_MATERIALS, "Set the properties of the materials and lights.\nSet Material and "
                         "Light Properties."},
    {ID_TOOLS_LIGHTING, "Enabled or disable lighting.\nToggle Lighting"},
    {ID_TOOLS_CULLING, "Toggle drawing faces of the mesh that face away from the "
                       "viewer.\nToggle Backface Culling"},
    {ID_ANIMATION_PLAY, "Begin playing the current animation from the current time.\nPlay Animation"},
    {ID_ANIMATION_PAUSE, "Pause the current animation.\nPause Animation"},
    {ID_ANIMATION_STOP, "Stop the current animation.\nStop Animation"},
    {ID_ANIMATION_REWIND, "Rewind the animation back to time 0.\nRewind Animation"},
    {ID_ANIMATION_MOVE_TO_TIME, "Move to a particular time in the current animation.\nMove to Time"},
    {ID_ANIMATION_RECORD, "Write the animation to a video or to numbered pictures.\nRecord Animation"},
    {ID_ANIMATION_ADD_KEYFRAME, "Add a new animation keyframe.\nAdd Keyframe"},
    {ID_ANIMATION_WRITE_KEYFRAMES,
     "Save the keyframes for the current object to a .KFF file.\nWrite To Disk"},
    {ID_ANIMATION_LOAD_KEYFRAMES, "Load keyframes for the current object from a .ANM file.\nLoad Animation"},
    {ID_HELP_KEYS_AND_MOUSE, "List what every key and mouse action does.\nKeys and Mouse"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
    {ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},
};

constexpr int INDICATORS[] = {ID_SELECTED_MESH,  ID_FRAME_RATE,    ID_VIEW_SIZE,
                              ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
} // namespace

namespace Resources
{
std::span<const SMenu> MainMenu()
{
    return MAIN_MENU;
}

std::span<const SAccelerator> Accelerators()
{
    return ACCELERATORS;
}

std::span<const SInputAction> ViewInputs()
{
    return VIEW_INPUTS;
}

std::string KeysAndMouseText()
{
    std::string strText = "In the view:\n";
    for (const SInputAction& action : VIEW_INPUTS)
        strText.append(action.pszInput).append(": ").append(action.pszEffect).append("\n");
    strText += "\nShortcuts:\n";
    // One line a command, with each of its keys, at the place of its first.
    for (size_t i = 0; i < std::size(ACCELERATORS); ++i)
    {
        const int nID = ACCELERATORS[i].nID;
        const auto isCommand = [nID](const SAccelerator& accel) { return accel.nID == nID; };
        if (std::any_of(ACCELERATORS, ACCELERATORS + i, isCommand))
            continue;
        const std::string strName = ShortName(nID).empty() ? Prompt(nID) : ShortName(nID);
        if (strName.empty())
            continue;
        std::string strKeys;
        for (size_t j = i; j < std::size(ACCELERATORS); ++j)
            if (isCommand(ACCELERATORS[j]))
                strKeys.append(strKeys.empty() ? "" : ", ").append(ACCELERATORS[j].pszKeys);
        strText.append(strKeys).append(": ").append(strName).append("\n");
    }
    return strText;
}

std::span<const SStringEntry> StringTable()
{
    return STRINGS;
}

const char* LoadString(int nID)
{
    for (const SStringEntry& entry : STRINGS)
        if (entry.nID == nID)
            return entry.pszText;
    return nullptr;
}

std::string Prompt(int nID)
{
    const char* psz = LoadString(nID);
    if (psz == nullptr)
        return std::string();
    const char* pszEnd = std::strchr(psz, '\n');
    return pszEnd == nullptr ? std::string(psz) : std::string(psz, pszEnd);
}

std::string ShortName(int nID)
{
    const char* psz = LoadString(nID);
    const char* pszBreak = psz == nullptr ? nullptr : std::strchr(psz, '\n');
    return pszBreak == nullptr ? std::string() : std::string(pszBreak + 1);
}

std::span<const int> IndicatorPanes()
{
    return INDICATORS;
}
} // namespace Resources
