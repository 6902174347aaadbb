// Plays a short analytics session through the C# binding, as game code does,
// takes every queued request and checks URL, header lines, event types, keys
// and values. Exits with 1 when a check fails.
//
// The installed Mono profile has no JSON library, so a small reader for the
// JSON the library writes is included below.

using System;
using System.Collections.Generic;
using System.Globalization;
using System.Text;

static class OstrelSession
{
    const string ApiKeyHeader = "X-Api-Key: Qm7TzR2vLx9KpB4nWc8HdY1sJf6GuE3aVo5XiNt0";
    const string ContentTypeHeader = "Content-Type: application/json";

    static int passed, failed;

    static void Check(bool ok, string what)
    {
        if (ok) { passed++; return; }
        failed++;
        Console.Error.WriteLine("FAILED: " + what);
    }

    static void Equal(object expected, object actual, string what)
    {
        Check(Equals(expected, actual),
              what + ": expected <" + expected + "> but was <" + actual + ">");
    }

    static Dictionary<string, object> Obj(object value, string key)
    {
        return (Dictionary<string, object>)((Dictionary<string, object>)value)[key];
    }

    static object Field(object value, string key)
    {
        return ((Dictionary<string, object>)value)[key];
    }

    // Takes every queued message and returns the events of each, checking
    // the envelope (keys, headers, record or batch URL) on the way.
    static List<List<object>> TakeAll(string baseUrl, string project)
    {
        var result = new List<List<object>>();
        for (int n = Ostrel.Tavi_MessagesCount(); n > 0; n--)
        {
            string text = Ostrel.Tavi_Zel_GetMessage();
            var message = (Dictionary<string, object>)Json.Parse(text);
            Equal("data,headers,url", string.Join(",", message.Keys), "message keys");
            var headers = (List<object>)message["headers"];
            Equal(2, headers.Count, "header count");
            Equal(ApiKeyHeader, headers[0], "API key header");
            Equal(ContentTypeHeader, headers[1], "content type header");
            object body = Json.Parse((string)message["data"]);
            var events = body as List<object> ?? new List<object> { body };
            string path = body is List<object> ? "/v1/win/batch" : "/v1/win/record";
            Equal(baseUrl + path + "?project=" + project, message["url"], "url");
            result.Add(events);
        }
        return result;
    }

    static string Type(object ev) { return (string)Field(ev, "event_type"); }

    static int Main()
    {
        string baseUrl = Environment.GetEnvironmentVariable("OSTREL_BASE_URL")
                         ?? "https://analytics.example.com";

        Equal("2.0.1", Ostrel.Tavi_Get_Version(), "version before init");
        Equal("", Ostrel.Tavi_Zel_GetMessage(), "message from an empty queue");

        Ostrel.Tavi_Init("cs-game");
        Ostrel.Tavi_Update();
        var start = TakeAll(baseUrl, "cs-game");
        Equal(1, start.Count, "first update flushes one request");
        Equal("_session.start", Type(start[0][0]), "session start");

        Ostrel.Tavi_SetUser("spieler-ü");
        Ostrel.Tavi_SetClient("client-cs");
        Ostrel.Tavi_SetAppData("app-cs", "Pkg.Cs", "Ærø Quest", "3.1", "31");
        Ostrel.Tavi_SetDeviceLocale("da-DK");
        Ostrel.Tavi_SetPlatform("Windows", "10.0.19045");
        Ostrel.Tavi_Event_LevelUp(5);
        Ostrel.Tavi_EventPurchase(null, "ignored", 4.99, "DKK", "gems_10", 2, true, "Gems €", false);
        Ostrel.Tavi_CustomEvent("quest", "{\"zone\":\"nørd\",\"step\":3,\"ratio\":0.1}");
        Ostrel.Tavi_CustomEvent("broken", "{");
        Ostrel.Tavi_SetAttribution("utm_source=store");

        var flushed = TakeAll(baseUrl, "cs-game");
        var events = new List<object>();
        foreach (var list in flushed) events.AddRange(list);
        var types = new List<string>();
        foreach (var ev in events) types.Add(Type(ev));
        Equal("a_Levelup,a_Purchase,c_quest,_init_attribution_pc",
              string.Join(",", types), "event types");
        if (events.Count == 4)
        {
            foreach (var ev in events)
            {
                Equal("spieler-ü", Obj(ev, "attributes")["user_id"], "user id");
                Equal("client-cs", Obj(ev, "client")["client_id"], "client id");
                Equal("Ærø Quest", Obj(ev, "application")["title"], "title");
                Equal("31", Obj(ev, "application")["version_code"], "version code");
                var device = Obj(ev, "device");
                Equal("da-DK,da,DK", string.Join(",", Field(device["locale"], "code"),
                      Field(device["locale"], "language"), Field(device["locale"], "country")),
                      "locale");
                Equal("10.0.19045", Field(device["platform"], "version"), "platform version");
            }
            Equal(5.0, Obj(events[0], "metrics")["a_level"], "level");
            var purchase = events[1];
            Equal(4.99, Obj(purchase, "metrics")["a_price"], "price");
            Equal(2.0, Obj(purchase, "metrics")["a_amount"], "amount");
            Equal(1.0, Obj(purchase, "metrics")["a_validated"], "validated");
            Equal(0.0, Obj(purchase, "metrics")["a_sandbox"], "sandbox");
            Equal("DKK", Obj(purchase, "attributes")["a_currency"], "currency");
            Equal("gems_10", Obj(purchase, "attributes")["a_sku"], "sku");
            Equal("Gems €", Obj(purchase, "attributes")["a_name"], "purchase name");
            var quest = events[2];
            Equal("nørd", Obj(quest, "attributes")["dsa_zone"], "custom text");
            Equal(3.0, Obj(quest, "metrics")["dsm_step"], "custom integer");
            Equal((double)0.1f, Obj(quest, "metrics")["dsm_ratio"], "custom fraction");
            Equal("utm_source=store", Obj(events[3], "attributes")["_params"], "attribution");
        }

        Ostrel.Tavi_Destroy();
        Ostrel.Tavi_Event_LevelUp(6);
        var stop = TakeAll(baseUrl, "cs-game");
        Equal(1, stop.Count, "destroy leaves one request to send");
        if (stop.Count == 1)
            Equal("_session.stop", Type(stop[0][stop[0].Count - 1]), "session stop");
        Equal(0, Ostrel.Tavi_MessagesCount(), "queue drained");
        Equal("2.0.1", Ostrel.Tavi_Get_Version(), "version after destroy");

        Console.WriteLine(passed + " passed, " + failed + " failed");
        return failed == 0 ? 0 : 1;
    }
}

// Reads the JSON the library writes: objects keep their members in text
// order, numbers become double.
static class Json
{
    public static object Parse(string text)
    {
        int at = 0;
        object value = Value(text, ref at);
        Space(text, ref at);
        if (at != text.Length) throw new FormatException("trailing text at " + at);
        return value;
    }

    static void Space(string s, ref int at)
    {
        while (at < s.Length && " \t\r\n".IndexOf(s[at]) >= 0) at++;
    }

    static void Expect(string s, ref int at, char c)
    {
        Space(s, ref at);
        if (at >= s.Length || s[at] != c) throw new FormatException("expected " + c + " at " + at);
        at++;
    }

    static object Value(string s, ref int at)
    {
        Space(s, ref at);
        if (at >= s.Length) throw new FormatException("unexpected end");
        char c = s[at];
        if (c == '{') return Object(s, ref at);
        if (c == '[') return Array(s, ref at);
        if (c == '"') return String(s, ref at);
        foreach (var literal in new[] { "true", "false", "null" })
        {
            if (string.CompareOrdinal(s, at, literal, 0, literal.Length) == 0)
            {
                at += literal.Length;
                return literal == "null" ? null : (object)(literal == "true");
            }
        }
        int begin = at;
        while (at < s.Length && "+-0123456789.eE".IndexOf(s[at]) >= 0) at++;
        return double.Parse(s.Substring(begin, at - begin), CultureInfo.InvariantCulture);
    }

    static Dictionary<string, object> Object(string s, ref int at)
    {
        var result = new Dictionary<string, object>();
        Expect(s, ref at, '{');
        Space(s, ref at);
        if (s[at] == '}') { at++; return result; }
        while (true)
        {
            Space(s, ref at);
            string key = String(s, ref at);
            Expect(s, ref at, ':');
            result.Add(key, Value(s, ref at));
            Space(s, ref at);
            if (s[at++] == '}') return result;
            if (s[at - 1] != ',') throw new FormatException("expected , at " + (at - 1));
        }
    }

    static List<object> Array(string s, ref int at)
    {
        var result = new List<object>();
        Expect(s, ref at, '[');
        Space(s, ref at);
        if (s[at] == ']') { at++; return result; }
        while (true)
        {
            result.Add(Value(s, ref at));
            Space(s, ref at);
            if (s[at++] == ']') return result;
            if (s[at - 1] != ',') throw new FormatException("expected , at " + (at - 1));
        }
    }

    static string String(string s, ref int at)
    {
        Expect(s, ref at, '"');
        var result = new StringBuilder();
        while (s[at] != '"')
        {
            char c = s[at++];
            if (c != '\\') { result.Append(c); continue; }
            char e = s[at++];
            switch (e)
            {
                case 'b': result.Append('\b'); break;
                case 'f': result.Append('\f'); break;
                case 'n': result.Append('\n'); break;
                case 'r': result.Append('\r'); break;
                case 't': result.Append('\t'); break;
                case 'u':
                    result.Append((char)int.Parse(s.Substring(at, 4), NumberStyles.HexNumber));
                    at += 4;
                    break;
                default: result.Append(e); break;
            }
        }
        at++;
        return result.ToString();
    }
}
