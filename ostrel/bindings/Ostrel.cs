// Ostrel.cs - C# binding of Ostrel, the analytics client library (libostrel.so,
// ostrel.dll on Windows).
//
// One DllImport per export of ostrel.h, under the export's own name, so game
// code reads like the C interface:
//
//     Ostrel.Tavi_Init("my-project");
//     Ostrel.Tavi_SetUser(playerId);
//     Ostrel.Tavi_Event_LevelUp(level);
//     Ostrel.Tavi_Update();                      // every frame
//     for (int n = Ostrel.Tavi_MessagesCount(); n > 0; n--)
//         Send(Ostrel.Tavi_Zel_GetMessage());    // JSON: data, headers, url
//     Ostrel.Tavi_Destroy();                     // then send what is left
//
// Library name: "ostrel" resolves to libostrel.so on Linux (through
// LD_LIBRARY_PATH, the system paths, or a Mono <dllmap>) and ostrel.dll on
// Windows.
//
// Texts in: every string argument is marshalled as UTF-8 (LPUTF8Str), which
// is what the library expects; null is allowed and reads as the empty text.
// The library copies each argument during the call.
//
// Texts out: Tavi_Get_Version and Tavi_Zel_GetMessage return a new array that
// the caller owns, allocated with what the platform's marshaller releases
// with: malloc on Linux and macOS, CoTaskMemAlloc on Windows. They are
// declared as returning string with LPUTF8Str: the runtime decodes the UTF-8
// bytes into a managed string and then releases the native array itself
// (Mono with g_free, .NET on Linux and macOS with free, both the C heap's
// free; .NET on Windows with CoTaskMemFree), so the caller never sees or
// frees a pointer. This was chosen over returning IntPtr and freeing by hand
// because it cannot leak or double-free, and Mono (6.8) was checked to decode
// UTF-8 and release the array on return.
//
// Threads: the library takes no locks. Call every function from one thread
// (the game's main thread), or serialise the calls.

using System.Runtime.InteropServices;

public static class Ostrel
{
    private const string Library = "ostrel";
    private const CallingConvention Convention = CallingConvention.Cdecl;
    private const UnmanagedType Utf8 = UnmanagedType.LPUTF8Str;

    // ---- Lifecycle --------------------------------------------------------

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_Init([MarshalAs(Utf8)] string projectId);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_Update();

    [DllImport(Library, CallingConvention = Convention)]
    [return: MarshalAs(Utf8)]
    public static extern string Tavi_Get_Version();

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_Destroy();

    // ---- Request queue ----------------------------------------------------

    [DllImport(Library, CallingConvention = Convention)]
    public static extern int Tavi_MessagesCount();

    // Returns "" when the queue is empty.
    [DllImport(Library, CallingConvention = Convention)]
    [return: MarshalAs(Utf8)]
    public static extern string Tavi_Zel_GetMessage();

    // ---- Context setters --------------------------------------------------

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_SetUser([MarshalAs(Utf8)] string userId);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_SetClient([MarshalAs(Utf8)] string clientId);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_SetAttribution([MarshalAs(Utf8)] string attribution);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_SetAppData(
        [MarshalAs(Utf8)] string appId,
        [MarshalAs(Utf8)] string packageName,
        [MarshalAs(Utf8)] string title,
        [MarshalAs(Utf8)] string versionName,
        [MarshalAs(Utf8)] string versionCode);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_SetDeviceLocale([MarshalAs(Utf8)] string localeCode);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_SetPlatform(
        [MarshalAs(Utf8)] string name, [MarshalAs(Utf8)] string version);

    // ---- Game events ------------------------------------------------------

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_Event_LevelUp(int level);

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_EventStartLoading();

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_EventFinishLoading();

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_EventTutorialStart();

    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_EventTutorialFinish();

    // validated and sandbox travel as 4-byte booleans (1 true, 0 false).
    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_EventPurchase(
        [MarshalAs(Utf8)] string unused1,
        [MarshalAs(Utf8)] string unused2,
        double price,
        [MarshalAs(Utf8)] string currency,
        [MarshalAs(Utf8)] string sku,
        int amount,
        [MarshalAs(UnmanagedType.Bool)] bool validated,
        [MarshalAs(Utf8)] string name,
        [MarshalAs(UnmanagedType.Bool)] bool sandbox);

    // attributes is JSON text, e.g. "{\"zone\":\"north\",\"step\":2}".
    [DllImport(Library, CallingConvention = Convention)]
    public static extern void Tavi_CustomEvent(
        [MarshalAs(Utf8)] string name, [MarshalAs(Utf8)] string attributes);
}
