// The same from JScript: Arguments by length, Count(), Item() and a call with the index; Sleep
// waits as long as asked.
// arg: alpha
// arg: beta gamma
// expect-out: text 42 -1.5 True False Null
// expect-out: 2 2 alpha beta gamma alpha
// expect-out: 
// expect-out: caught -2147352565
// expect-out: slept True
WScript.Echo("text", 42, -1.5, true, false, null);
var args = WScript.Arguments;
WScript.Echo(args.length, args.Count(), args.Item(0), args(1), WScript.Arguments(0));
WScript.Echo();
try {
    args.Item(2);
    WScript.Echo("no error");
} catch (e) {
    WScript.Echo("caught", e.number);
}
var start = new Date().getTime();
WScript.Sleep(300);
var slept = new Date().getTime() - start;
WScript.Echo("slept", slept >= 280 && slept < 10000);
