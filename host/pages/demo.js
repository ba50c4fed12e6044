// The demo page: drives the control the way a web page does and prints what it sees.

function show(text) { console.log(text); }

var ctl = new ActiveXObject("Quendal.PictavoPremium");
show("Created the control from its ProgID Quendal.PictavoPremium.");

var logFile = host.getenv("PICTAVO_DEMO_LOG");
var settings = [
    ["Debug", false],
    ["PostUrl", "http://127.0.0.1:8080/upload"],
    ["Watermark", true],
    ["ThumbnailWidth", 120],
    ["ThumbnailHeight", 90],
    ["ViewWidth", 800],
    ["ViewHeight", "600"],            // strings are converted, as by any page
    ["ImgSizeLimit", 5 * 1024 * 1024],
    ["ImgCountLimit", 20],
    ["CompressSizeLimit", 1024 * 1024],
    ["FileFieldName", "file"],
    ["EncodeType", "utf-8"],
    ["UploadFormat", "JPG"],
    ["JpegQuality", 85],
    ["DefaultFolder", "/tmp"]
];
if (logFile)
    settings.push(["LogFile", logFile]);
show("Setting the properties:");
for (var i = 0; i < settings.length; ++i) {
    ctl[settings[i][0]] = settings[i][1];
    show("  " + settings[i][0] + " = " + JSON.stringify(settings[i][1]));
}

function attempt(what, action) {
    try {
        action();
        show("  " + what + ": accepted");
    } catch (e) {
        show("  " + what + ": refused, " + e.message);
    }
}
show("What the control refuses:");
attempt("ThumbnailWidth = 70000", function () { ctl.ThumbnailWidth = 70000; });
attempt("JpegQuality = 'high'", function () { ctl.JpegQuality = "high"; });
attempt("reading PostUrl (properties are write-only)", function () { return "" + ctl.PostUrl; });

show("Extra form fields:");
ctl.AddField("a", "1");
ctl.AddField("B", "2");
ctl.AddField("a", "3");
show("  AddField a=1, B=2, a=3 (a keeps its place, takes the new value; upload order: B, a)");
ctl.ClearFields();
ctl.AddField("album", "holiday");
show("  ClearFields, then AddField album=holiday");

show("The upload list:");
show("  GetCount() = " + ctl.GetCount());
var files = ctl.GetPostedFiles();
show("  GetPostedFiles() = " + files + " (no upload yet)");
ctl.Clear();
show("  Clear() done, GetCount() = " + ctl.GetCount());

var page = { title: "demo page" };
ctl.Object = page;
ctl.AfterImagesPosted = function (obj) {
    show("AfterImagesPosted called with the page's Object: " + (obj === page ? "the same object" : "another object"));
    var answers = ctl.GetPostedFiles();
    show("  posted answers: " + (answers === undefined ? "none" : new VBArray(answers).toArray().join(", ")));
    show("Done.");
    host.exit(0);
};
show("Calling OnImagesPosted from a timer, as the control does at the end of an upload run...");
setTimeout(function () { ctl.OnImagesPosted(); }, 10);
