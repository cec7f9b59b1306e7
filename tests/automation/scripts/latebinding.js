var c = CreateObject("CorvaneCOM.Corvane");
c.marginleft = 720;
print("margin", c.MarginLeft);
c.MarginTop = 199;
print("top", c.margintop);
c.PaperSize = spPaperA4;
print("paper", c.PaperSize);
c.DocTitle = 2.5;
print("title", c.DocTitle);
var printers = c.GetPrinters();
print("last printer", printers[printers.length - 1]);
c.PrintError.connect(function (number, description) {
    print("error", number, description);
});
print("result", c.printtextfile("/nonexistent/x.txt"));
try { c.Colour = 1; } catch (e) { print("caught", e.message); }
try { c.MarginLeft = "wide"; } catch (e) { print("caught", e.message); }
