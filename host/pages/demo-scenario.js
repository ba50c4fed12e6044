// The demo without a display: drops the pictures scripts/demo made onto the control, uploads
// them with the post button and waits for the page's answer box, as a person would.
var title = "Pictavo 图片上传演示";
var pw = waitWindow(title, 10000);
var ctl = control("pictavo");
var box = elements(ctl);
log("demo: page window \"" + title + "\", control " + box.width + " x " + box.height + " at " + box.x + "," + box.y);

var folder = page("host.getenv('PICTAVO_DEMO_PICTURES')");
var pictures = page("host.getenv('PICTAVO_DEMO_PICTURE_LIST')");
var paths = pictures ? pictures.split("\n").map(function (name) { return folder + "/" + name; }) : [];
log("demo: dropping " + paths.length + " picture(s) on the control");
drop(paths, box.x + box.width / 2, box.y + box.height / 2);
waitIdle(10000);

var count = page("pictavo.GetCount()");
log("demo: the upload list holds " + count + " picture(s)");
if (count === 0) {
    log("demo: the control's panel (add and post buttons, thumbnail list) is not built yet, so the");
    log("      control shows an empty page area and takes no pictures: nothing to upload");
    exit(0);
}

// The post button (the panel's third element) is enabled once the thumbnails are made; a
// person waits for that before pressing it.
waitFor(function () { return !elements(ctl).children[2].disabled; }, 30000);
var post = elements(ctl).children[2];
click(post.x + (post.width >> 1), post.y + (post.height >> 1));
var answer = waitWindow("来自网页的消息", 60000);
log("demo: " + elements(answer).children.map(function (e) { return e.text; }).filter(Boolean).join(" / "));
key("Enter");
log("demo: the page received " + page("album.answers.length") + " answer(s)");
exit(page("album.answers.length") === count ? 0 : 1);
