// Start-up to the first painted panel, seen from a scenario: prints the wall-clock time at
// which the demo page's control window shows its built panel with nothing left to paint.
var pw = waitWindow("Pictavo 图片上传演示", 10000);
var c = control("pictavo");
waitFor(function () {
    var tree = elements(c);
    return tree.children.some(function (e) { return e.className === "Button" && e.visible; });
}, 10000);
waitIdle(10000);
log("painted-at " + Date.now());
exit(0);
