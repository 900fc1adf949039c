<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="fa_IR">
<context>
    <name>msg</name>
    <message>
        <source>&amp;تائيد</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>ان&amp;صراف</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>&amp;بلـه</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;خيـر</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>خرو&amp;ج</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>F2 تائيد</source>
        <translation>F2 OK</translation>
    </message>
</context>
<context>
    <name>texts</name>
    <message>
        <source>تهيه كپي و بازگرداندن اطلاعات</source>
        <translation>Back up and restore data</translation>
    </message>
    <message>
        <source>تهيه نسخه كپي و يا بازگرداندن اطلاعات از بانك اطلاعاتي </source>
        <translation>Back up or restore the database of </translation>
    </message>
    <message>
        <source>نام شركت</source>
        <translation>Company name</translation>
    </message>
    <message>
        <source>&amp;بازگرداندن اطلاعات</source>
        <translation>&amp;Restore data</translation>
    </message>
    <message>
        <source>ك&amp;پي از اطلاعات</source>
        <translation>&amp;Back up data</translation>
    </message>
    <message>
        <source>لطفا قبل از هر گونه عمليات بازگرداني اطلاعات ، يك كپي پشتيبان از اطلاعات برنامه</source>
        <translation>Before restoring any data, please make a backup copy of the program&apos;s</translation>
    </message>
    <message>
        <source>.تهيه نماييد</source>
        <translation>data first.</translation>
    </message>
    <message>
        <source>آيا از ادامه عمليات اطمينان داريد؟ </source>
        <translation>Are you sure you want to go on? </translation>
    </message>
    <message>
        <source>عمليات انتخابي با موفقيت انجام شد</source>
        <translation>The operation has been completed successfully</translation>
    </message>
    <message>
        <source>نام انتخابي براي نسخه پشتيبان تكراري است </source>
        <translation>A backup copy with the chosen name already exists </translation>
    </message>
    <message>
        <source>.احتمالا اين بانك توسط كاربر ديگري در حال استفاده ميباشد</source>
        <translation>The database is probably in use by another user.</translation>
    </message>
    <message>
        <source>خطا در فشرده سازي اطلاعات</source>
        <translation>Error while compressing the data</translation>
    </message>
    <message>
        <source>لطفا ديسكت شماره  1  را در دستگاه قرار دهيد</source>
        <translation>Please insert disk number  1  into the drive</translation>
    </message>
    <message>
        <source>لطفا آخرين ديسكت را در دستگاه قرار دهيد</source>
        <translation>Please insert the last disk into the drive</translation>
    </message>
    <message>
        <source>لطفا ديسكت بعدي را در دستگاه قرار دهيد disk# : </source>
        <translation>Please insert the next disk into the drive disk# : </translation>
    </message>
    <message>
        <source>خروج</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>RTL</source>
        <translation>LTR</translation>
    </message>
    <message>
        <source>عمليات ديگري روي اين بانك اطلاعاتي در حال انجام است؛ لطفا پس از پايان آن دوباره سعي كنيد</source>
        <translation>Another operation is running on this database; please try again when it has finished</translation>
    </message>
    <message>
        <source>كپي تهيه شده قابل بازخواني نيست و پذيرفته نشد</source>
        <translation>The backup copy does not read back and was not accepted</translation>
    </message>
    <message>
        <source>فايل خراب با اين نام كنار گذاشته شد:</source>
        <translation>The damaged file was set aside under this name:</translation>
    </message>
    <message>
        <source>در حال اتصال به سرور ...</source>
        <translation>Connecting to the server ...</translation>
    </message>
    <message>
        <source>رمز عبور نسخه پشتيبان</source>
        <translation>Backup password</translation>
    </message>
    <message>
        <source>رمز عبور را وارد كنيد:</source>
        <translation>Enter the password:</translation>
    </message>
    <message>
        <source>رمز عبور را دوباره وارد كنيد:</source>
        <translation>Enter the password again:</translation>
    </message>
    <message>
        <source>دو رمز عبور وارد شده يكسان نيستند</source>
        <translation>The two passwords typed differ</translation>
    </message>
    <message>
        <source>رمز عبور فايل فشرده را وارد كنيد:</source>
        <translation>Enter the password of the archive:</translation>
    </message>
    <message>
        <source>فايل رمز عبور نسخه پشتيبان قابل استفاده نيست</source>
        <translation>The backup password file cannot be used</translation>
    </message>
</context>
</TS>
